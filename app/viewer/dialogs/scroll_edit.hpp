// A horizontal scroll bar with an edit box that mirrors its value. Typed numbers
// move the bar at once, limited to its range; when editing ends the box shows
// the value the bar took.
#ifndef LUMAPIX_VIEWER_SCROLL_EDIT_HPP
#define LUMAPIX_VIEWER_SCROLL_EDIT_HPP

#include <QWidget>

class QLineEdit;
class QScrollBar;

namespace lumapix {

class ScrollEdit : public QWidget {
    Q_OBJECT
public:
    // One step per arrow, ten per page.
    ScrollEdit(int minimum, int maximum, int value, QWidget* parent = nullptr);

    int value() const;
    void setValue(int value);

    QScrollBar* scrollBar() const { return bar_; }
    QLineEdit* edit() const { return edit_; }

    // Puts the bar's value back into a box left empty or half typed ("-").
    void commitEdit();

signals:
    void valueChanged(int value);

private:
    void onBarChanged(int value);
    void onTextEdited(const QString& text);

    QScrollBar* bar_ = nullptr;
    QLineEdit* edit_ = nullptr;
    bool typing_ = false;
};

}  // namespace lumapix

#endif
