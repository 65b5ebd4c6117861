#ifndef CLOGINUI_H
#define CLOGINUI_H

#include <QMainWindow>

// The server selection window: the first window the user sees, where a saved
// portal server is picked or a new one entered. Created once, never destroyed.
class CLoginUI : public QMainWindow
{
    Q_OBJECT

public:
    explicit CLoginUI(QWidget* parent = nullptr);

    // Browser mode: the portal runs in an external browser and this window only
    // offers the way back to the client.
    void setBrowserMode(bool on);
    bool isBrowserMode() const { return browserMode; }

private:
    bool browserMode = false;
};

#endif // CLOGINUI_H
