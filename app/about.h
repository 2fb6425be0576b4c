#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>

class QLabel;
class QPushButton;

namespace kve {

// The version block compiled into the program, laid out like a Windows version resource:
// a translation list (language, code page) and string tables under
// "\StringFileInfo\<language><code page>\<name>".
struct VersionResource {
    // "\VarFileInfo\Translation": 16-bit little-endian words, language then code page,
    // four bytes per entry.
    QByteArray translation;
    std::map<QString, QString> strings;   // full path → value

    void addTranslation(quint16 language, quint16 codePage);

    // The value at a path such as "\StringFileInfo\041904E3\FileVersion"; empty when missing.
    QString value(const QString &path) const;
};

// The program's own block: Russian (0x0419), code page 1251 (0x04E3), FileVersion KVE_VERSION.
// On Windows it is read from the program file's own version resource.
VersionResource programVersionResource();

// "041904E3" for the first translation; empty when the list holds no whole entry.
QString translationKey(const VersionResource &resource);

// The FileVersion string of the first translation, or "0.0.0.0" when there is no
// translation or the string is missing or empty.
QString fileVersion(const VersionResource &resource);

// "Версия " + fileVersion.
QString versionLine(const VersionResource &resource);

} // namespace kve

// The about box ("О программе").
class Tform6 : public QDialog {
    Q_OBJECT
public:
    explicit Tform6(QWidget *parent = nullptr);

    // Where the version block is read from at every showing; the program's own by default.
    void setVersionSource(std::function<kve::VersionResource()> source);

    QString versionText() const;
    QPushButton *okButton() const { return Button1; }

public slots:
    void FormShow();
    void Button1Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::function<kve::VersionResource()> m_versionSource;
    QLabel *StaticText1;
    QLabel *StaticText3;
    QLabel *StaticText2;
    QPushButton *Button1;
};
