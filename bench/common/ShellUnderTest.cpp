#include "ShellUnderTest.h"

#include "app/ApplicationAttributes.h"
#include "app/CMainWindow.h"

#include <QCoreApplication>

namespace {
const int LanguageEnglish = 0;
const int LanguageChinese = 1;
} // namespace

void ShellUnderTest::prepareProcess()
{
    ApplicationAttributes::apply();
}

void ShellUnderTest::configureApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("norv-client"));
    // A benchmark never competes with a running client for the local service's port.
    qputenv("NORV_HTTPD_PORT", "0");
}

ShellUnderTest::ShellUnderTest(const Shell::StepRunner& runStep)
    : m_windows(Shell::build(runStep))
{
}

ShellUnderTest::~ShellUnderTest()
{
    Shell::stop(m_windows);
}

int ShellUnderTest::otherLanguage() const
{
    return m_windows.mainWindow->language == LanguageChinese ? LanguageEnglish : LanguageChinese;
}
