#include "about.h"
#include "ui/CentreOnScreen.h"

#include "KveApplication.h"

#include "store/AppTitle.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace kve {

QString VersionResource::value(const QString &path) const
{
    const auto it = strings.find(path);
    return it == strings.end() ? QString() : it->second;
}

void VersionResource::addTranslation(quint16 language, quint16 codePage)
{
    for (quint16 word : {language, codePage}) {
        translation.append(char(word & 0xFF));
        translation.append(char(word >> 8));
    }
}

QString translationKey(const VersionResource &resource)
{
    if (resource.translation.size() < 4)
        return {};
    const auto word = [&](int at) {
        return quint16(quint8(resource.translation[at]) | (quint8(resource.translation[at + 1]) << 8));
    };
    return QStringLiteral("%1%2")
        .arg(word(0), 4, 16, QLatin1Char('0'))
        .arg(word(2), 4, 16, QLatin1Char('0'))
        .toUpper();
}

QString fileVersion(const VersionResource &resource)
{
    const QString key = translationKey(resource);
    if (key.isEmpty())
        return QStringLiteral("0.0.0.0");
    const QString version =
        resource.value(QStringLiteral("\\StringFileInfo\\") + key + QStringLiteral("\\FileVersion"));
    return version.isEmpty() ? QStringLiteral("0.0.0.0") : version;
}

QString versionLine(const VersionResource &resource)
{
    return QStringLiteral("Версия ") + fileVersion(resource);
}

} // namespace kve

namespace {

QLabel *pixelLabel(const QString &text, int pixels, bool bold, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPixelSize(pixels);
    font.setBold(bold);
    label->setFont(font);
    label->setAccessibleName(text);
    return label;
}

} // namespace

Tform6::Tform6(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_versionSource(&kve::programVersionResource)
{
    setObjectName(QStringLiteral("form6"));
    setWindowTitle(QStringLiteral("О программе"));
    setAccessibleName(windowTitle());
    setFixedSize(515, 151);

    StaticText1 = pixelLabel(kve::kDeviceType, 16, true, this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setGeometry(16, 16, 483, 22);
    StaticText3 = pixelLabel(QStringLiteral("Версия 1.0"), 13, false, this);
    StaticText3->setObjectName(QStringLiteral("StaticText3"));
    StaticText3->setGeometry(16, 46, 483, 18);
    StaticText2 = pixelLabel(QStringLiteral("Программа для передачи данных с прибора ЖОРД-ЗР7."), 13, false, this);
    StaticText2->setObjectName(QStringLiteral("StaticText2"));
    StaticText2->setGeometry(16, 72, 483, 18);

    Button1 = new QPushButton(QStringLiteral("Ок"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAccessibleName(Button1->text());
    Button1->setGeometry(515 - 75 - 12, 151 - 25 - 12, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] { kve::runCommand([&] { Button1Click(); }); });
}

void Tform6::setVersionSource(std::function<kve::VersionResource()> source)
{
    m_versionSource = std::move(source);
}

QString Tform6::versionText() const
{
    return StaticText3->text();
}

void Tform6::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    kve::centreOnScreen(this);
    kve::runCommand([&] { FormShow(); });
}

void Tform6::FormShow()
{
    const kve::VersionResource resource = m_versionSource ? m_versionSource() : kve::VersionResource{};
    const QString line = kve::versionLine(resource);
    StaticText3->setText(line);
    StaticText3->setAccessibleName(line);
}

void Tform6::Button1Click()
{
    accept();
}
