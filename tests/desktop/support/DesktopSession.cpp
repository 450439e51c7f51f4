#include "tests/desktop/support/DesktopSession.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QStackedWidget>
#include <QTreeView>

namespace orvaneh::test {

DesktopSession::DesktopSession() : home_(std::make_unique<QTemporaryDir>()) {}

DesktopSession::~DesktopSession() {
    stop();
}

bool DesktopSession::start() {
    desktop_ = std::make_unique<DesktopApplication>();
    const auto error = desktop_->start(home());
    if (error) {
        qWarning("%s", error->c_str());
    }
    return !error;
}

void DesktopSession::stop() {
    desktop_.reset();
}

QMessageBox* DesktopSession::box(const char* name) {
    for (auto* widget : QApplication::topLevelWidgets()) {
        auto* candidate = qobject_cast<QMessageBox*>(widget);
        if (candidate && candidate->objectName() == name && candidate->isVisible()) {
            return candidate;
        }
    }
    return nullptr;
}

QWidget* DesktopSession::shownScreen() const {
    auto* stack = find<QStackedWidget>("pileEcrans");
    return stack ? stack->currentWidget() : nullptr;
}

QStringList DesktopSession::listColumn(int column) const {
    QStringList texts;
    if (auto* rows = find<QTreeView>("listeDictees")) {
        const QAbstractItemModel* model = rows->model();
        for (int index = 0; index < model->rowCount(); ++index) {
            texts << model->index(index, column).data().toString();
        }
    }
    return texts;
}

} // namespace orvaneh::test
