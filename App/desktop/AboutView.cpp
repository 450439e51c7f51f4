#include "App/desktop/AboutView.h"

#include "App/desktop/ViewWidgets.h"
#include "Classes/screens/AboutController.h"

#include <QDesktopServices>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace orvaneh {

using W = ViewWidgets;

AboutView::AboutView(std::shared_ptr<AboutController> about, QWidget* parent)
    : QWidget(parent), about_(std::move(about)), tabs_(new QTabBar(this)), page_(new QTextBrowser(this)) {
    setObjectName(W::text(about_->screenName()));
    setAccessibleName(W::text(about_->title()));
    W::name(tabs_, "ongletsInformations", "Onglets des informations");
    tabs_->setExpanding(true);
    for (const auto& title : about_->tabTitles()) {
        tabs_->addTab(W::text(title));
    }
    W::name(page_, "pageInformations", "Page d'informations");
    // Never the network from here: only local pages are loaded in the window.
    page_->setOpenLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(page_, 1);

    connect(tabs_, &QTabBar::currentChanged, this, [this](int tab) { about_->selectTab(tab); });
    connect(page_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.isLocalFile() || url.isRelative()) {
            page_->setSource(page_->source().resolved(url));
        } else {
            QDesktopServices::openUrl(url);
        }
    });
    about_->setChangeCallback([this] { refresh(); });
    refresh();
}

AboutView::~AboutView() {
    about_->setChangeCallback(nullptr);
}

void AboutView::refresh() {
    {
        const QSignalBlocker blocker(tabs_);
        tabs_->setCurrentIndex(about_->selectedTab());
    }
    const QUrl url(W::text(about_->pageUrl()));
    if (url.isLocalFile()) {
        page_->setSource(url);
    } else {
        // A page the localisation names on the web: offered, not fetched.
        page_->setHtml(QString("<p><a href=\"%1\">%1</a></p>").arg(url.toString().toHtmlEscaped()));
    }
}

} // namespace orvaneh
