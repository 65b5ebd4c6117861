#include "ShellUnderTest.h"

#include "app/ApplicationFont.h"
#include "app/CMainWindow.h"
#include "login/CLoginUI.h"

#include <QCoreApplication>

namespace {
const int LanguageEnglish = 0;
const int LanguageChinese = 1;
} // namespace

void ShellUnderTest::prepareProcess()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void ShellUnderTest::configureApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("norv-client"));
    ApplicationFont::apply();
}

ShellUnderTest::ShellUnderTest()
    : m_window(new CMainWindow)
{
    mainWindowInstance = m_window;
    m_window->loginUI = new CLoginUI;
}

ShellUnderTest::~ShellUnderTest()
{
    delete m_window->loginUI;
    delete m_window;
    mainWindowInstance = nullptr;
}

CLoginUI* ShellUnderTest::login() const
{
    return m_window->loginUI;
}

void ShellUnderTest::layOut()
{
    m_window->initLayout();
}

void ShellUnderTest::applyStoredLanguage()
{
    m_window->slot_switch_language(m_window->language);
}

int ShellUnderTest::otherLanguage() const
{
    return m_window->language == LanguageChinese ? LanguageEnglish : LanguageChinese;
}
