#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace kve {
class MeasurementTable;
}

// The chart dialog ("Построение графиков"): the measurement to chart, or none for the series.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(kve::MeasurementTable &table, QWidget *parent = nullptr);

    // The text chosen at the last "Построить"; empty means the whole series.
    QString chartChoice() const { return m_chartChoice; }

    QComboBox *measurementBox() const { return ComboBox1; }
    QPushButton *buildButton() const { return Button1; }
    // Hf against time; the only kind of chart offered.
    bool heaveOverTimeSelected() const;

public slots:
    void FormShow();
    void Button1Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    kve::MeasurementTable &m_table;
    QString m_chartChoice;
    QGroupBox *GroupBox1;
    QLabel *Label1;
    QComboBox *ComboBox1;
    QPushButton *Button1;
    QRadioButton *RadioButton1;
};
