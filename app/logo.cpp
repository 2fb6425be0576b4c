#include "logo.h"

#include "KveApplication.h"

#include "store/AppTitle.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <chrono>

namespace {

// How long the splash stays.
constexpr std::chrono::milliseconds kSplashTime{3000};

// The splash picture: 400×78, 24 bits.
QPixmap splashPicture()
{
    QImage image(400, 78, QImage::Format_RGB888);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 400, 78);
    sky.setColorAt(0, QColor(18, 52, 104));
    sky.setColorAt(1, QColor(70, 130, 190));
    p.fillRect(image.rect(), sky);
    // Frozen ground below a thin line of snow.
    p.fillRect(QRect(0, 60, 400, 18), QColor(120, 95, 70));
    p.fillRect(QRect(0, 58, 400, 3), QColor(235, 240, 250));
    p.setPen(QPen(QColor(250, 210, 80), 2));
    for (int x = 300; x < 390; x += 12)
        p.drawLine(x, 66, x + 6, 72);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(30);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(16, 4, 380, 40), Qt::AlignLeft | Qt::AlignVCenter, kve::kDeviceType);
    QFont sub(QStringLiteral("DejaVu Sans"));
    sub.setPixelSize(12);
    p.setFont(sub);
    p.setPen(QColor(220, 230, 245));
    p.drawText(QRect(18, 38, 380, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Программа для передачи данных с прибора ЖОРД-ЗР7"));
    p.end();
    return QPixmap::fromImage(image);
}

} // namespace

TForm5::TForm5(QWidget *parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint), m_picture(splashPicture()), Timer1(new QTimer(this))
{
    setObjectName(QStringLiteral("Form5"));
    setAccessibleName(kve::kDeviceType);
    setFixedSize(400, 77);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kSplashTime);
    Timer1->setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the splash stays its full three seconds.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, [this] { kve::runCommand([&] { Timer1Timer(); }); });
}

void TForm5::showEvent(QShowEvent *event)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Timer1->start();
    QDialog::showEvent(event);
}

void TForm5::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(0, 0, m_picture);
}

void TForm5::reject()
{
}

void TForm5::Timer1Timer()
{
    accept();
}
