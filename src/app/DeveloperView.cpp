#include "DeveloperView.h"

#include <QSplitter>
#include <QUrl>

namespace {
const QString BlankAddress = QStringLiteral("about:blank");
} // namespace

DeveloperView::DeveloperView(QWidget* parent)
    : QWebEngineView(parent)
{
}

void DeveloperView::toggle(QWebEnginePage* portalPage, QSplitter* splitter, int windowHeight)
{
    inspect(portalPage);
    setVisible(isHidden());
    // Inside the splitter only the splitter's sizes place the view: a third of the window's height.
    const int developerHeight = windowHeight / 3;
    QList<int> sizes;
    for (int index = 0; index < splitter->count(); ++index) {
        sizes << (splitter->widget(index) == this ? developerHeight : qMax(0, splitter->height() - developerHeight));
    }
    splitter->setSizes(sizes);
}

// Opens the developer tools of the portal page afresh; blank without a portal.
void DeveloperView::inspect(QWebEnginePage* portalPage)
{
    QWebEnginePage* tools = page();
    tools->setInspectedPage(nullptr);
    if (portalPage) {
        tools->setInspectedPage(portalPage);
    } else {
        tools->setUrl(QUrl(BlankAddress));
    }
}
