#include "CommentEditor.h"

#include "store/MeasurementTable.h"
#include "store/Schema.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QToolTip>

namespace kve {

CommentValidator::CommentValidator(int maxLength, QObject *parent) : QValidator(parent), m_maxLength(maxLength) {}

QString CommentValidator::refusalReason(const QString &text, int maxLength)
{
    if (text.size() > maxLength)
        return QStringLiteral("В примечании не более %1 символов").arg(maxLength);
    if (MeasurementTable::canStore(text))
        return {};
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const QString ch = text.mid(i, pair ? 2 : 1);
        if (!MeasurementTable::canStore(ch))
            return QStringLiteral("Символ «%1» нельзя сохранить в таблице (кодировка Windows-1251)").arg(ch);
        if (pair)
            ++i;
    }
    return QStringLiteral("Текст нельзя сохранить в таблице (кодировка Windows-1251)");
}

QValidator::State CommentValidator::validate(QString &input, int &) const
{
    const QString reason = refusalReason(input, m_maxLength);
    if (reason.isEmpty())
        return Acceptable;
    emit refused(reason);
    return Invalid;
}

SeriesDelegate::SeriesDelegate(QObject *parent) : QStyledItemDelegate(parent)
{
    connect(this, &QAbstractItemDelegate::closeEditor, this, [this](QWidget *editor) { editorClosed(editor); });
}

QWidget *SeriesDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const
{
    const int field = fieldIndex(index.model()->headerData(index.column(), Qt::Horizontal, Qt::UserRole).toString());
    auto *editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setAccessibleName(index.model()->headerData(index.column(), Qt::Horizontal, Qt::DisplayRole).toString());
    const int maxLength = field >= 0 ? kFields[size_t(field)].cutWidth : 50;
    auto *validator = new CommentValidator(maxLength, editor);
    connect(validator, &CommentValidator::refused, editor, [this, editor](const QString &reason) {
        QToolTip::showText(editor->mapToGlobal(QPoint(0, editor->height())), reason, editor);
        emit inputRefused(reason);
    });
    editor->setValidator(validator);
    m_editor = editor;
    connect(editor, &QObject::destroyed, this, [this, editor] {
        if (m_editor == editor)
            m_editor = nullptr;
    });
    emit editStarted();
    return editor;
}

void SeriesDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (auto *line = qobject_cast<QLineEdit *>(editor))
        line->setText(index.data(Qt::EditRole).toString());
}

bool SeriesDelegate::eventFilter(QObject *object, QEvent *event)
{
    // A menu, the menu bar or another window taking the keyboard does not end the edit:
    // the note stays typed, not posted, until the operator leaves the cell or a command
    // posts or drops it (a "Нет" to the save question must be able to drop it).
    if (event->type() == QEvent::FocusOut) {
        switch (static_cast<QFocusEvent *>(event)->reason()) {
        case Qt::PopupFocusReason:
        case Qt::MenuBarFocusReason:
        case Qt::ActiveWindowFocusReason:
            return false;
        default:
            break;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

void SeriesDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    if (auto *line = qobject_cast<QLineEdit *>(editor))
        model->setData(index, line->text(), Qt::EditRole);
}

} // namespace kve
