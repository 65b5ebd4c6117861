#ifndef CLOGINUI_H
#define CLOGINUI_H

#include "SavedServerRows.h"

#include <QMainWindow>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class CCombox;
class ItemWidgetFile;

// The server selection window: the first window the user sees, where a saved portal
// server is picked or a new one entered. It has three faces: select mode, new-server
// mode, and browser mode (the portal is in use in an external browser). Created once,
// never destroyed; it reaches the main window through mainWindowInstance.
class CLoginUI : public QMainWindow
{
    Q_OBJECT

public:
    explicit CLoginUI(QWidget* parent = nullptr);

    void setNewServerMode(bool on);
    void setBrowserMode(bool on);
    void setInputEnabled(bool on);
    void showMessage(const QString& text);
    void clearMessage();
    // Texts, images and text-dependent geometry of the current language.
    void retranslate();

    // Saved servers: each one is a row of the popup list and an entry of the Server menu,
    // in the order of the main window's serverList.
    void addServerRow(const QString& name, const QString& url);
    // Saves a server after its first successful login; an address already saved changes nothing.
    void addServer(const QString& name, const QString& url);
    // Removes the menu entry and the row of a server already taken out of serverList.
    // With row given, that very row goes (and the matching copy of the menu entry).
    void removeServer(const QString& url, const ItemWidgetFile* row = nullptr);
    // The delete button of row: takes its server out of the list, the file, the rows and the menu.
    void deleteServerOfRow(const ItemWidgetFile* row);
    // Builds the rows and menu entries of the saved servers at start-up and pre-selects one.
    void populateServers();

    // True while browser mode is on; read by the delayed automatic login.
    static bool browserModeOn();

public slots:
    void slot_buttonContinue();
    void slot_checkbox_auto_connect(bool isChecked);
    void slot_comboBoxNameChanged(QString s);
    void slot_switch_new_server();
    void slot_switch_select_server();
    void slot_exitBrowserModel();

protected:
    void paintEvent(QPaintEvent* event) override;
    // Return presses Continue wherever the focus is, unless a focused button takes it.
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

public:
    QListWidget* listWidget = nullptr;
    bool browserMode = false;
    QLabel* labelMessage = nullptr;
    QLabel* labelLogo = nullptr;
    QLabel* labelTitle = nullptr;
    QLabel* labelAddress = nullptr;
    QLabel* labelAlias = nullptr;
    QLineEdit* editAddress = nullptr;
    QLabel* labelScheme = nullptr;
    CCombox* comboServer = nullptr;
    QCheckBox* checkDefault = nullptr;
    QLineEdit* editAlias = nullptr;
    QPushButton* buttonContinue = nullptr;
    QPushButton* buttonNewServer = nullptr;
    QPushButton* buttonSelectServer = nullptr;
    QLabel* labelBrowserMode = nullptr;
    QPushButton* buttonExitBrowserMode = nullptr;

private:
    void createChildren();
    void applyStyles();
    void applyGeometry();
    void placeLinks();
    void placeBrowserModeTexts();
    // Buddies, the tab order and the saved servers' box driven by keys.
    void setUpKeyboard();
    // A row chosen in the box's popup with the keyboard.
    void selectRow(int index);

    SavedServerRows serverRows;
};

#endif // CLOGINUI_H
