#pragma once

#include <QDialog>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kve {
class MeasurementTable;
}

// The frost-heave calculation dialog ("Расчет є fh").
class TForm7 : public QDialog {
    Q_OBJECT
public:
    TForm7(kve::MeasurementTable &table, std::function<int()> activeSeries, QWidget *parent = nullptr);

    QComboBox *measurementBox() const { return ComboBox1; }
    QLineEdit *thicknessEdit() const { return MaskEdit1; }
    QPushButton *calculateButton() const { return Button1; }

    // The thickness as the operator's field holds it: three positions, blanks unfilled.
    QString thicknessText() const;

public slots:
    void FormShow();
    void Button1Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    kve::MeasurementTable &m_table;
    std::function<int()> m_activeSeries;
    QGroupBox *GroupBox1;
    QLabel *Label1;
    QComboBox *ComboBox1;
    QLabel *Label2;
    QLineEdit *MaskEdit1;
    QPushButton *Button1;
};
