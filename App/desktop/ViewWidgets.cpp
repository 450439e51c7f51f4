#include "App/desktop/ViewWidgets.h"

#include "Platform/files/Resources.h"

#include <QPushButton>
#include <QWidget>
#include <filesystem>
#include <system_error>

namespace orvaneh {

void ViewWidgets::name(QWidget* widget, const char* objectName, const QString& accessibleName,
                       const QString& toolTip) {
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessibleName);
    widget->setToolTip(toolTip.isEmpty() ? accessibleName : toolTip);
}

QPushButton* ViewWidgets::button(const QString& title, const char* objectName, const QString& toolTip,
                                 QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    name(button, objectName, title, toolTip);
    return button;
}

QIcon ViewWidgets::icon(const std::string& name) {
    if (name.empty()) {
        return {};
    }
    // Image names may come with their extension, from the time they were bitmaps.
    const std::string stem = std::filesystem::path(name).stem().string();
    for (const char* extension : {".svg", ".png"}) {
        const auto path = Resources::path("icons") / (stem + extension);
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error)) {
            return QIcon(QString::fromStdString(path.string()));
        }
    }
    return {};
}

} // namespace orvaneh
