#include "controls/Accessibility.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QVariant>
#include <QWidget>
#include <QWindow>

#include "controls/CustControls.h"
#include "controls/UiText.h"

namespace {
const char kNameIdProperty[] = "tarselNameId";
const char kRoleProperty[] = "tarselRole";

// A painted label: static text whose name is what it shows.
class CStaticAccessible : public QAccessibleWidget {
public:
    explicit CStaticAccessible(CustStatic* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            const QString name = widget()->accessibleName();
            return name.isEmpty() ? static_cast<CustStatic*>(widget())->text() : name;
        }
        return QAccessibleWidget::text(t);
    }
    // The control it is the caption of is labelled by it.
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(
        QAccessible::Relation match) const override {
        auto found = QAccessibleWidget::relations(match);
        QWidget* buddy = static_cast<CustStatic*>(widget())->Buddy();
        if (buddy != nullptr && (match & QAccessible::Labelled))
            if (QAccessibleInterface* other = QAccessible::queryAccessibleInterface(buddy))
                found.append({other, QAccessible::Labelled});
        return found;
    }
};

// A pane given a role of its own. An alert without a name of its own is named by what its
// labels show, in their order, so that a screen reader speaks the message itself.
class CPanelAccessible : public QAccessibleWidget {
public:
    CPanelAccessible(QWidget* panel, QAccessible::Role role) : QAccessibleWidget(panel, role) {}
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        QString name = widget()->accessibleName();
        if (!name.isEmpty() || role() != QAccessible::AlertMessage)
            return name;
        QStringList lines;
        for (CustStatic* label : widget()->findChildren<CustStatic*>()) {
            const QString line = label->text().trimmed();
            if (label->isVisibleTo(widget()) && !line.isEmpty())
                lines << line;
        }
        return lines.join(QLatin1Char(' '));
    }
};

// One choice of a choice list; pressing it takes it.
class CChoiceAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    CChoiceAccessible(QWidget* list, int choice) : m_list(list), m_choice(choice) {}

    bool isValid() const override {
        return Choices() != nullptr && m_choice < Choices()->ChoiceCount();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_list ? m_list->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(m_list);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && isValid() ? Choices()->ChoiceText(m_choice) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect local = Choices()->ChoiceRect(m_choice);
        return {m_list->mapToGlobal(local.topLeft()), local.size()};
    }
    QAccessible::Role role() const override {
        return Choices() != nullptr && Choices()->ChoicesAreMenu() ? QAccessible::MenuItem
                                                                   : QAccessible::ListItem;
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid())
            return state;
        state.focusable = true;
        state.selectable = true;
        const bool current = Choices()->CurrentChoice() == m_choice;
        state.selected = current;
        state.focused = current && m_list->hasFocus();
        state.invisible = !m_list->isVisible();
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction() && isValid())
            Choices()->ActivateChoice(m_choice);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    CChoiceList* Choices() const {
        return m_list ? dynamic_cast<CChoiceList*>(m_list.data()) : nullptr;
    }

    QPointer<QWidget> m_list;
    int m_choice;
};

// A list (or menu) of choices; its children are the choices, kept while their number
// stays the same.
class CChoiceListAccessible : public QAccessibleWidget {
public:
    CChoiceListAccessible(QWidget* list, CChoiceList* choices)
        : QAccessibleWidget(list,
                            choices->ChoicesAreMenu() ? QAccessible::PopupMenu : QAccessible::List),
          m_choices(choices) {}

    int childCount() const override { return m_choices->ChoiceCount(); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        while (m_items.size() < childCount())
            m_items << QAccessible::registerAccessibleInterface(
                new CChoiceAccessible(widget(), static_cast<int>(m_items.size())));
        return QAccessible::accessibleInterface(m_items[index]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < m_items.size(); ++i)
            if (QAccessible::accessibleInterface(m_items[i]) == child)
                return i < childCount() ? i : -1;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint local = widget()->mapFromGlobal(QPoint(x, y));
        for (int i = 0; i < childCount(); ++i)
            if (m_choices->ChoiceRect(i).contains(local))
                return child(i);
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        const int current = m_choices->CurrentChoice();
        return widget()->hasFocus() && current >= 0 ? child(current) : nullptr;
    }

protected:
    ~CChoiceListAccessible() override {
        for (QAccessible::Id id : m_items)
            QAccessible::deleteAccessibleInterface(id);
    }

private:
    CChoiceList* m_choices;
    mutable QList<QAccessible::Id> m_items;
};

QAccessibleInterface* TarselFactory(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    // Answered once, for the class the widget really is; Qt describes its own classes.
    if (widget == nullptr || className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    if (auto* choices = dynamic_cast<CChoiceList*>(widget))
        return new CChoiceListAccessible(widget, choices);
    if (auto* label = qobject_cast<CustStatic*>(widget))
        return new CStaticAccessible(label);
    const QVariant role = widget->property(kRoleProperty);
    if (role.isValid())
        return new CPanelAccessible(widget, static_cast<QAccessible::Role>(role.toInt()));
    return nullptr;
}
}  // namespace

void InstallTarselAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&TarselFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

int ChoiceAfterKey(int key, int current, int count) {
    if (count <= 0)
        return -1;
    switch (key) {
        case Qt::Key_Up:
            return current <= 0 ? count - 1 : current - 1;
        case Qt::Key_Down:
            return current < 0 || current >= count - 1 ? 0 : current + 1;
        case Qt::Key_Home:
            return 0;
        case Qt::Key_End:
            return count - 1;
        default:
            return -1;
    }
}

bool IsTakeChoiceKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
}

void NoteChoiceMoved(QWidget* list, int choice) {
    if (list == nullptr || choice < 0 || !list->hasFocus())
        return;
    QAccessibleEvent event(list, QAccessible::Focus);
    event.setChild(choice);
    QAccessible::updateAccessibility(&event);
}

void SetAccessibleRole(QWidget* widget, QAccessible::Role role) {
    widget->setProperty(kRoleProperty, static_cast<int>(role));
}

void SetNameById(QWidget* widget, int id) {
    widget->setProperty(kNameIdProperty, id);
    widget->setAccessibleName(UiCaption(id));
}

void ReloadNames(QWidget* root) {
    const auto apply = [](QWidget* widget) {
        const QVariant id = widget->property(kNameIdProperty);
        if (id.isValid())
            widget->setAccessibleName(UiCaption(id.toInt()));
    };
    apply(root);
    for (QWidget* child : root->findChildren<QWidget*>())
        apply(child);
}

void AnnounceAlert(QWidget* box) {
    QAccessibleEvent event(box, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
}

void NoteNameChanged(QWidget* widget) {
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(widget, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
    // An alert or dialog named by its labels changes its name with them.
    QWidget* parent = widget->parentWidget();
    if (parent != nullptr && parent->property(kRoleProperty).isValid() &&
        parent->accessibleName().isEmpty()) {
        QAccessibleEvent parentEvent(parent, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&parentEvent);
    }
}
