#include "controls/CustControls.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include "controls/Accessibility.h"
#include "controls/UiText.h"

namespace {
const char kTextIdProperty[] = "tarselTextId";
const QColor kEditBorder(200, 200, 200);
const QColor kEditFill(245, 245, 245);
const QColor kEditDisabledFill(220, 220, 220);
const QColor kInvalidText(255, 0, 0);
const QColor kDefaultText(0, 0, 0);
}  // namespace

void PaintFocusMark(QPainter& painter, const QRect& area, const QColor& colour) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(colour, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(area).adjusted(1, 1, -1, -1));
    painter.restore();
}

namespace {
// A caption as the name of its control: without the colon that ends some captions.
QString CaptionName(const QString& caption) {
    QString name = caption.trimmed();
    while (name.endsWith(QLatin1Char(':')) || name.endsWith(QChar(0xFF1A))) name.chop(1);
    return name.trimmed();
}

// Enter and Return press a focused button the way Space does.
bool IsPressKey(const QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    return modifiers == Qt::NoModifier && enter;
}
}  // namespace

int CellHeightToPixelSize(int height) {
    // A font "height" here is the character cell (ascent plus descent), as the platform's
    // font requests count it; Qt sizes the em square, which for Arial is 2048 of 2288 units
    // of the cell.
    return qMax(1, (height * 2048 + 1144) / 2288);
}

QFont MakeArialFont(int height, int weight) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(CellHeightToPixelSize(height));
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

// ---------------------------------------------------------------------------------------
// CustEdit

CustEdit::CustEdit(QWidget* parent) : QLineEdit(parent) {
    setFont(MakeArialFont(16, 400));
    setFrame(false);
    // The background is ours (paintEvent); the line edit must not fill over it.
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    setPalette(pal);
    setTextMargins(4, 0, 4, 0);
    connect(this, &QLineEdit::textChanged, this, [this] { UpdateTextColour(); });
    UpdateTextColour();
}

void CustEdit::SetValidation(int kind) {
    m_kind = kind;
    UpdateTextColour();
}

QColor CustEdit::TextColour() const {
    return palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text);
}

void CustEdit::UpdateTextColour() {
    const QColor colour = UiTextPasses(m_kind, text()) ? kDefaultText : kInvalidText;
    QPalette pal = palette();
    if (pal.color(QPalette::Active, QPalette::Text) == colour &&
        pal.color(QPalette::Inactive, QPalette::Text) == colour)
        return;
    pal.setColor(QPalette::Active, QPalette::Text, colour);
    pal.setColor(QPalette::Inactive, QPalette::Text, colour);
    // A disabled field keeps the platform's disabled text colour, unless the text is wrong.
    if (colour == kInvalidText)
        pal.setColor(QPalette::Disabled, QPalette::Text, colour);
    else
        pal.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 120));
    setPalette(pal);
}

void CustEdit::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        // One pixel wider on the right, so the outline's right edge shows fully.
        const QRect area = rect().adjusted(1, 1, 0, -1);
        // The focused field is framed in the focus mark's colour.
        painter.setPen(QPen(hasFocus() ? QColor::fromRgb(kFocusMarkColour) : kEditBorder, 2));
        painter.setBrush(isEnabled() ? kEditFill : kEditDisabledFill);
        painter.drawRect(area);
    }
    QLineEdit::paintEvent(event);
}

// Focus moving in or out changes nothing the line edit would repaint by itself, but the
// whole field is redrawn so the background stays clean.
void CustEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    update();
}

void CustEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    update();
}

void CustEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) update();
}

// ---------------------------------------------------------------------------------------
// CustStatic

CustStatic::CustStatic(QWidget* parent) : QWidget(parent) {
    InstallTarselAccessibility();
    setFont(MakeArialFont(16, 700));
    // Without a background colour the label fills nothing and the parent shows through;
    // Qt repaints the parent under the label on every update, so a shorter text leaves no
    // trace of the longer one before it.
}

void CustStatic::setText(const QString& text) {
    if (m_text == text) return;
    m_text = text;
    if (m_buddy != nullptr) m_buddy->setAccessibleName(CaptionName(m_text));
    update();
    NoteNameChanged(this);
}

void CustStatic::SetBuddy(QWidget* buddy) {
    m_buddy = buddy;
    if (buddy != nullptr) buddy->setAccessibleName(CaptionName(m_text));
}

void CustStatic::SetFont(int height, int weight) {
    setFont(MakeArialFont(height, weight));
    update();
}

void CustStatic::SetTextColour(const QColor& colour) {
    m_textColour = colour;
    update();
}

void CustStatic::SetBackgroundColour(const QColor& colour) {
    m_background = colour;
    update();
}

void CustStatic::SetFormat(Qt::Alignment format) {
    m_format = format;
    update();
}

void CustStatic::SetWrapToFit(bool on) {
    m_wrapToFit = on;
    update();
}

int CustStatic::DrawFlags() const {
    const int flags = static_cast<int>(m_format);
    if (!m_wrapToFit || QFontMetrics(font()).horizontalAdvance(m_text) <= width() - 2)
        return flags | Qt::TextSingleLine;
    return flags | Qt::TextWordWrap;
}

bool CustStatic::TextFits() const {
    if (m_text.isEmpty())
        return true;
    const QRect needed = QFontMetrics(font()).boundingRect(rect(), DrawFlags(), m_text);
    return needed.width() <= width() && needed.height() <= height();
}

int CustStatic::WrappedHeight(int width) const {
    if (m_text.isEmpty())
        return 0;
    return QFontMetrics(font())
        .boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap, m_text)
        .height();
}

int StackLabels(const QList<CustStatic*>& labels, int left, int top, int width, int minHeight,
                int gap) {
    for (CustStatic* label : labels) {
        // A hidden label keeps its place, not the room of the text it last showed.
        const int height =
            label->isHidden() ? minHeight : qMax(minHeight, label->WrappedHeight(width) + 2);
        label->setGeometry(left, top, width, height);
        top += height + gap;
    }
    return top;
}

QSize CustStatic::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(m_text) + 4, metrics.height() + 4};
}

void CustStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_background.isValid()) painter.fillRect(rect(), m_background);
    painter.setPen(m_textColour);
    painter.setFont(font());
    painter.drawText(rect(), DrawFlags(), m_text);
}

// ---------------------------------------------------------------------------------------
// CustButton

CustButton::CustButton(QWidget* parent) : QPushButton(parent) {
    setFont(MakeArialFont(16, 700));
    // Enter must never press a button by being the dialog's default.
    setAutoDefault(false);
    setDefault(false);
    setCursor(Qt::PointingHandCursor);
}

void CustButton::SetFont(int height, int weight) {
    setFont(MakeArialFont(height, weight));
    update();
}

QColor CustButton::FillColour() const {
    if (!isEnabled()) return QColor::fromRgb(kDisabledFill);
    return QColor::fromRgb(isDown() ? kPressedFill : kFill);
}

QColor CustButton::PaintedTextColour() const {
    return isEnabled() ? m_textColour : QColor(255, 255, 255);
}

void CustButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), FillColour());
    painter.setPen(PaintedTextColour());
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
    if (hasFocus() && isEnabled())
        PaintFocusMark(painter, rect().adjusted(2, 2, -2, -2), Qt::white);
}

void CustButton::keyPressEvent(QKeyEvent* event) {
    if (IsPressKey(event) && isEnabled()) {
        event->accept();
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------
// CustCheckBox, CustRadio, CustComboBox

namespace {
void ApplyLabelLook(QAbstractButton* button, int height, int weight) {
    button->setFont(MakeArialFont(height, weight));
    QPalette pal = button->palette();
    pal.setColor(QPalette::WindowText, QColor(51, 51, 51));
    pal.setColor(QPalette::ButtonText, QColor(51, 51, 51));
    button->setPalette(pal);
}
// The focus mark of a box or round button with its text: it frames the mark and the text,
// not the whole width the control is given.
void PaintLabelledFocus(QWidget* button, const QStyleOptionButton& option, QStyle::SubElement focusRect) {
    const QRect text = button->style()->subElementRect(focusRect, &option, button);
    QPainter painter(button);
    PaintFocusMark(painter, QRect(0, 0, text.right() + 4, button->height()).intersected(button->rect()),
                   QColor::fromRgb(kFocusMarkColour));
}
}  // namespace

CustCheckBox::CustCheckBox(QWidget* parent) : QCheckBox(parent) { ApplyLabelLook(this, 16, 700); }

void CustCheckBox::SetFont(int height, int weight) { setFont(MakeArialFont(height, weight)); }

void CustCheckBox::paintEvent(QPaintEvent* event) {
    QCheckBox::paintEvent(event);
    if (!hasFocus()) return;
    QStyleOptionButton option;
    initStyleOption(&option);
    PaintLabelledFocus(this, option, QStyle::SE_CheckBoxFocusRect);
}

CustRadio::CustRadio(QWidget* parent) : QRadioButton(parent) { ApplyLabelLook(this, 16, 700); }

void CustRadio::SetFont(int height, int weight) { setFont(MakeArialFont(height, weight)); }

void CustRadio::paintEvent(QPaintEvent* event) {
    QRadioButton::paintEvent(event);
    if (!hasFocus()) return;
    QStyleOptionButton option;
    initStyleOption(&option);
    PaintLabelledFocus(this, option, QStyle::SE_RadioButtonFocusRect);
}

CustComboBox::CustComboBox(QWidget* parent) : QComboBox(parent) { setFont(MakeArialFont(18, 400)); }

void CustComboBox::paintEvent(QPaintEvent* event) {
    QComboBox::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(this);
    PaintFocusMark(painter, rect(), QColor::fromRgb(kFocusMarkColour));
}

// ---------------------------------------------------------------------------------------
// CImageButton

CImageButton::CImageButton(QWidget* parent) : QToolButton(parent) {
    setAutoRaise(true);
    // Reached with Tab; a click does not move the focus away from where the user works.
    setFocusPolicy(Qt::TabFocus);
}

void CImageButton::paintEvent(QPaintEvent* event) {
    QToolButton::paintEvent(event);
    if (!hasFocus() || !isEnabled()) return;
    QPainter painter(this);
    PaintFocusMark(painter, rect(), m_focusColour);
}

void CImageButton::keyPressEvent(QKeyEvent* event) {
    if (IsPressKey(event) && isEnabled()) {
        event->accept();
        click();
        return;
    }
    QToolButton::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------
// Captions by text id

void SetTextById(CustStatic* control, int id) {
    control->setProperty(kTextIdProperty, id);
    control->setText(UiCaption(id));
}

void SetTextById(QAbstractButton* control, int id) {
    control->setProperty(kTextIdProperty, id);
    control->setText(UiCaption(id));
}

void ReloadTextIds(QWidget* root) {
    const auto apply = [](QWidget* widget) {
        const QVariant id = widget->property(kTextIdProperty);
        if (!id.isValid()) return;
        if (auto* label = qobject_cast<CustStatic*>(widget))
            label->setText(UiCaption(id.toInt()));
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            button->setText(UiCaption(id.toInt()));
    };
    apply(root);
    for (QWidget* child : root->findChildren<QWidget*>()) apply(child);
    ReloadNames(root);
}
