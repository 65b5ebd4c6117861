#ifndef CCHECKUPDATEUI_H
#define CCHECKUPDATEUI_H

#include "dialogs/CTipUI.h"

#include <atomic>

class QLabel;

// The result of an update check: whether a newer version is published, and the way to it.
class CCheckUpdateUI : public CTipUI
{
    Q_OBJECT

public:
    // checkType true: only a newer version is shown; false: every result is shown.
    explicit CCheckUpdateUI(bool checkType, QWidget* parent = nullptr);

    // Starts a new check: answers of earlier checks are ignored from now on. GUI thread.
    void beginCheck();
    // The check the worker is asked to run; read on the worker thread.
    quint64 requestedCheck() const { return m_check.load(); }

    bool newVersionFound = false;
    QLabel* messageLabel = nullptr;
    QLabel* versionLabel = nullptr;
    QString downloadUrl;
    bool checkType = false;

public slots:
    void Slot_ButtonOK();
    // The version file's answer, handed over from the worker thread.
    void replyFinished(quint64 check, int status, QByteArray body);
    void slot_checkFinish();

private:
    // Sets the texts from the version entry; false when it holds no version to compare.
    bool compareVersions(const QJsonObject& entry);
    void showCheckFailed();
    // The message and the version, as the dialog's description for screen readers.
    void describeResult();

    std::atomic<quint64> m_check {0};
};

#endif // CCHECKUPDATEUI_H
