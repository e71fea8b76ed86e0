#pragma once
#include <QLabel>
#include <QLineEdit>
#include <array>

#include "extras/BrowseEdit.h"
#include "extras/OpenDialog.h"
#include "model/Extras.h"
#include "ui/Form.h"
#include "ui/SkinImage.h"

namespace obu {

// The extras editor, "Edit Extras": the names and addresses of the four web
// pages and the names and files of the four programs, on two pages switched
// with an arrow. OK stores the rows in the extras table and the settings file
// and switches the lights of stored rows on; Cancel only closes it.
class ExtrasEditor : public Form {
    Q_OBJECT
public:
    explicit ExtrasEditor(Program& program);

    SkinImage* Image1 = nullptr;  // background picture
    QLabel* Label1 = nullptr;     // the web page page's text
    QLabel* Label2 = nullptr;     // the program page's text
    QLineEdit* Edit1 = nullptr;   // web page names
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QLineEdit* Edit7 = nullptr;
    QLineEdit* me_web1 = nullptr;  // web page addresses
    QLineEdit* edit4 = nullptr;
    QLineEdit* edit6 = nullptr;
    QLineEdit* edit8 = nullptr;
    QLineEdit* Edit9 = nullptr;  // program names
    QLineEdit* Edit11 = nullptr;
    QLineEdit* Edit13 = nullptr;
    QLineEdit* Edit15 = nullptr;
    BrowseEdit* be1 = nullptr;  // program files
    BrowseEdit* be2 = nullptr;
    BrowseEdit* be3 = nullptr;
    BrowseEdit* be4 = nullptr;
    SkinImage* Image2 = nullptr;  // OK
    SkinImage* Image3 = nullptr;  // Cancel
    QLabel* Label3 = nullptr;     // page arrow
    OpenDialog* OpenDialog1 = nullptr;

    // The name edit and the address or file edit of slot n (1..8).
    QLineEdit* NameEdit(int n) const { return nameEdits_[n - 1]; }
    QLineEdit* PathEdit(int n) const { return pathEdits_[n - 1]; }
    // Whether the program page is on show (the arrow points up).
    bool ShowsPrograms() const;

    void Image2Click();
    void Image3Click();
    void Label3MouseDown();
    void Label3MouseUp();
    // Program name placeholders, for slots 5..8.
    void ProgramNameEnter(int n);
    void ProgramNameExit(int n);

protected:
    void FormShow() override;

private:
    Extras& extras();
    void buildControls();
    void showPage(bool programs);
    // The first edit of a row to be stored whose text does not fit the table,
    // after telling the user; none when every text fits.
    QLineEdit* refuseTooLong();

    std::array<QLineEdit*, 8> nameEdits_{};
    std::array<QLineEdit*, 8> pathEdits_{};
};

}  // namespace obu
