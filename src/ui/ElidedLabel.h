#pragma once

#include <QLabel>

namespace hourloom {

// A one-line label that draws a text too long for its width shortened with an ellipsis at the
// end, never cutting a letter, and shows the whole text on hover. Its text, and what a screen
// reader speaks, stay the whole text.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // What is drawn at the label's present width.
    QString shownText() const;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateToolTip();
};

} // namespace hourloom
