#include "App/desktop/ParametreTabBarView.h"

#include "App/desktop/ParamWorkflowView.h"
#include "App/desktop/SiteListView.h"
#include "App/desktop/ViewWidgets.h"
#include "Classes/app/ParametreTabBarController.h"
#include "Classes/workflow/ParamWorkflowDefault.h"
#include "Gestion Site/SiteListViewController.h"

#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace orvaneh {

using W = ViewWidgets;

ParametreTabBarView::ParametreTabBarView(std::shared_ptr<ParametreTabBarController> container,
                                         QWidget* parent)
    : QWidget(parent), container_(std::move(container)), tabs_(new QTabWidget(this)) {
    setObjectName(W::text(container_->screenName()));
    setAccessibleName("Réglages des sites et du workflow");
    W::name(tabs_, "ongletsParametres", "Onglets des réglages");
    // The tabs' screens live as long as the container: their views hold it.
    const std::shared_ptr<SiteListViewController> sites(container_, &container_->siteList());
    const std::shared_ptr<AbstractParamWorkflow> workflow(container_, &container_->workflow());
    QWidget* pages[] = {new SiteListView(sites, tabs_), new ParamWorkflowView(workflow, tabs_)};
    for (std::size_t index = 0; index < container_->tabs().size() && index < std::size(pages); ++index) {
        const auto& tab = container_->tabs()[index];
        tabs_->addTab(pages[index], W::icon(tab.icon), W::text(tab.title));
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs_);

    connect(tabs_, &QTabWidget::currentChanged, this, [this](int tab) { container_->selectTab(tab); });
    container_->setChangeCallback([this] { refresh(); });
    refresh();
}

ParametreTabBarView::~ParametreTabBarView() {
    container_->setChangeCallback(nullptr);
}

void ParametreTabBarView::refresh() {
    const QSignalBlocker blocker(tabs_);
    tabs_->setCurrentIndex(container_->selectedTab());
}

} // namespace orvaneh
