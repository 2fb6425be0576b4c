#pragma once

#include <QDialog>

class QTimer;

// The splash window: a borderless picture that closes itself after three seconds.
class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget *parent = nullptr);

    QTimer *timer() const { return Timer1; }

public slots:
    // Esc and the close command do not end the splash: only its timer does.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private slots:
    void Timer1Timer();

private:
    QPixmap m_picture;
    QTimer *Timer1;
};
