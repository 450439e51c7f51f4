#pragma once

#include <QLabel>

namespace orvaneh {

// A one-line label that never asks for the width of its text: a long text is cut with "…" to the
// width the layout gives, so a long title neither wraps over its neighbours nor widens the
// window for good. text() stays the whole text; the tooltip and the accessible description show
// it when it is cut.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;
    // True when the text does not fit and is drawn cut.
    bool isElided() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

} // namespace orvaneh
