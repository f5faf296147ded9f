#pragma once
// The About box: the program's title with a drop shadow and its version.

#include <QDialog>

class QLabel;
class QPushButton;
class QShowEvent;

namespace gm {

class TFormAbout : public QDialog {
    Q_OBJECT

public:
    explicit TFormAbout(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr; // the title
    QLabel* Label2 = nullptr; // its shadow, one pixel right and down, behind it
    QLabel* Label3 = nullptr; // "Version:"
    QLabel* Label4 = nullptr; // the version, set each time the box is shown
    QLabel* Label5 = nullptr; // notice lines
    QLabel* Label6 = nullptr;
    QPushButton* BitBtn1 = nullptr; // OK

    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace gm
