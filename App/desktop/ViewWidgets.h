#pragma once

#include <QIcon>
#include <QString>
#include <string>

class QPushButton;
class QWidget;

namespace orvaneh {

// The small things every screen's view does to its controls: the French object name,
// accessible name and tooltip each one carries, and texts from the controllers.
class ViewWidgets {
public:
    static QString text(const std::string& value) { return QString::fromStdString(value); }
    static std::string text(const QString& value) { return value.toStdString(); }
    // Names `widget` for tests and accessibility tools; the tooltip is the accessible name
    // when none is given.
    static void name(QWidget* widget, const char* objectName, const QString& accessibleName,
                     const QString& toolTip = {});
    static QPushButton* button(const QString& title, const char* objectName, const QString& toolTip,
                               QWidget* parent);
    // The icon of that name among the resources (icons/<name>.svg or .png); an empty icon when
    // there is none, so that the caller's text stands alone.
    static QIcon icon(const std::string& name);
};

} // namespace orvaneh
