#pragma once
// The six thin control classes from which every dialog builds its controls in code. They fix
// the look (face "Arial", flat colours, custom-painted buttons and labels) and add one
// behaviour: an edit field that shows an invalid address, mask or port in red while typed.

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QWidget>

class QPainter;

// The pixel size of the em square of an Arial font whose character cell is `height`.
int CellHeightToPixelSize(int height);

// The keyboard focus mark every custom control draws while it has the focus: a 2-pixel
// frame inside `area`.
void PaintFocusMark(QPainter& painter, const QRect& area, const QColor& colour);
// The focus mark's colour on the tool's light backgrounds.
inline constexpr QRgb kFocusMarkColour = 0xFF0050FF;  // (0, 80, 255)

// Builds the font every custom control uses: face "Arial" (fontconfig maps it to a metric
// compatible face), `height` the pixel height of its character cell, weight on the 100..900 scale.
QFont MakeArialFont(int height, int weight);

class CustEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CustEdit(QWidget* parent = nullptr);

    void SetValidation(int kind);
    int Validation() const { return m_kind; }
    // The colour the text is drawn in right now: red while the text fails its check.
    QColor TextColour() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void UpdateTextColour();

    int m_kind = 0;
};

class CustStatic : public QWidget {
    Q_OBJECT
public:
    explicit CustStatic(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return m_text; }
    void SetFont(int height, int weight);
    void SetTextColour(const QColor& colour);
    QColor TextColour() const { return m_textColour; }
    // An invalid colour means no background: the parent shows through.
    void SetBackgroundColour(const QColor& colour);
    void SetFormat(Qt::Alignment format);
    Qt::Alignment Format() const { return m_format; }
    // A text wider than the label breaks into lines (between words, or where the language
    // allows) in the label's own font, instead of being cut: translations run longer than
    // the English they replace, and every caption of a kind keeps one size.
    void SetWrapToFit(bool on);
    // The flags the present text is drawn with.
    int DrawFlags() const;
    // True when the present text, drawn as it is, fits inside the label.
    bool TextFits() const;
    // The height the present text needs at `width` when it wraps.
    int WrappedHeight(int width) const;
    QSize sizeHint() const override;
    // The control this label is the caption of: it takes the label's text as its accessible
    // name, now and whenever the text changes (a language switch).
    void SetBuddy(QWidget* buddy);
    QWidget* Buddy() const { return m_buddy; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_textColour{51, 51, 51};
    QColor m_background;
    Qt::Alignment m_format = Qt::AlignLeft | Qt::AlignVCenter;
    bool m_wrapToFit = false;
    QPointer<QWidget> m_buddy;
};

class CustButton : public QPushButton {
    Q_OBJECT
public:
    explicit CustButton(QWidget* parent = nullptr);

    void SetFont(int height, int weight);
    void SetTextColour(const QColor& colour) { m_textColour = colour; update(); }
    // The fill and text colour the button is painted with in its present state.
    QColor FillColour() const;
    QColor PaintedTextColour() const;

    static constexpr QRgb kDisabledFill = 0xFFB3B3B3;  // (179, 179, 179)

protected:
    void paintEvent(QPaintEvent* event) override;
    // Enter presses the button that has the focus, as Space does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    static constexpr QRgb kFill = 0xFF0050FF;         // (0, 80, 255)
    static constexpr QRgb kPressedFill = 0xFF00C8FF;  // (0, 200, 255)
    QColor m_textColour{255, 255, 255};
};

class CustCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit CustCheckBox(QWidget* parent = nullptr);
    void SetFont(int height, int weight);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class CustRadio : public QRadioButton {
    Q_OBJECT
public:
    explicit CustRadio(QWidget* parent = nullptr);
    void SetFont(int height, int weight);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class CustComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit CustComboBox(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A picture button (the command bar's icons, the title bar's, the choosers' arrows): it
// takes the focus from the keyboard only, draws the focus mark while it has it, and Space
// or Enter presses it.
class CImageButton : public QToolButton {
    Q_OBJECT
public:
    explicit CImageButton(QWidget* parent = nullptr);
    // The focus mark's colour, for a button on a dark background.
    void SetFocusColour(const QColor& colour) { m_focusColour = colour; update(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QColor m_focusColour = QColor::fromRgb(kFocusMarkColour);
};

// Places the labels one below the other from `top`, `width` wide, each as high as its
// wrapped text needs but at least minHeight (a hidden one minHeight), `gap` pixels apart. Returns
// the y just below the last: the caller puts its buttons there, so a long translation makes the
// dialog taller instead of its text smaller.
int StackLabels(const QList<CustStatic*>& labels, int left, int top, int width, int minHeight,
                int gap);

// Sets a control's caption from a text id through the caption remapping, in the current
// language, and remembers the id so that ReloadTextIds can set it again after a language
// change.
void SetTextById(CustStatic* control, int id);
void SetTextById(QAbstractButton* control, int id);

// Sets again, in the current language, the caption of every control below `root` whose
// caption was set by SetTextById, and every accessible name set by SetNameById.
void ReloadTextIds(QWidget* root);
