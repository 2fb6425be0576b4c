#pragma once

#include <QStyledItemDelegate>
#include <QValidator>
#include <functional>

namespace kve {

// Accepts a note only while the table can store it as typed: at most `maxLength`
// characters, each one Windows-1251 can hold. A refused keystroke or paste is reported
// with the reason.
class CommentValidator : public QValidator {
    Q_OBJECT
public:
    CommentValidator(int maxLength, QObject *parent = nullptr);
    State validate(QString &input, int &pos) const override;

    // Why the text cannot be stored; empty when it can.
    static QString refusalReason(const QString &text, int maxLength);

signals:
    void refused(const QString &reason) const;

private:
    int m_maxLength;
};

// Cell editors of a series grid: a line editor with the validator for editable text
// columns. Tells when an editor opens and keeps track of the one that is open.
class SeriesDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit SeriesDelegate(QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

    QWidget *openEditor() const { return m_editor; }
    void editorClosed(QWidget *editor)
    {
        if (m_editor == editor)
            m_editor = nullptr;
    }

signals:
    void editStarted() const;
    void inputRefused(const QString &reason) const;

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    mutable QWidget *m_editor = nullptr;
};

} // namespace kve
