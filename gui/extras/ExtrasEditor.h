#pragma once
#include <QLabel>
#include <QLineEdit>
#include <array>

#include "gui/extras/BrowseEdit.h"
#include "gui/extras/OpenDialog.h"
#include "gui/skin/Form.h"
#include "gui/skin/SkinImage.h"
#include "model/Extras.h"

namespace obu {

// The extras editor, "Edit Extras": the names and addresses of the four web
// pages and the names and files of the four programs, on two pages switched
// with an arrow. OK stores the rows in the extras table and the settings file
// and switches the lights of stored rows on; Cancel only closes it.
class ExtrasEditor : public Form {
    Q_OBJECT
public:
    explicit ExtrasEditor(ProgramModel& program);

    // The name edit and the address or file edit of slot n (1..8).
    QLineEdit* nameEdit(int n) const { return m_nameEdits[n - 1]; }
    QLineEdit* pathEdit(int n) const { return m_pathEdits[n - 1]; }
    // The file edit of program slot n (5..8), with its browse button.
    BrowseEdit* programFileEdit(int n) const { return static_cast<BrowseEdit*>(pathEdit(n)); }
    // Whether the program page is on show (the arrow points up).
    bool showsPrograms() const;

    // OK: stores the rows unless a text is too long for its field, and closes.
    void storeRows();
    void cancel();
    // The arrow switches the page on its press; the release puts it back in place.
    void pressPageArrow();
    void releasePageArrow();
    // Program name placeholders, for slots 5..8.
    void enterProgramName(int n);
    void leaveProgramName(int n);

protected:
    void onShown() override;

private:
    Extras& extras();
    void buildControls();
    // The two pages' explanations; a name and an address or file per extra, in
    // tab order; OK and Cancel; the arrow that turns the page.
    void buildExplanations();
    void buildRows();
    void buildButtons();
    void buildPageArrow();
    void showPage(bool programs);
    // The first edit of a row to be stored whose text does not fit the table,
    // after telling the user; none when every text fits.
    QLineEdit* refuseTooLong();

    SkinImage* m_background = nullptr;
    QLabel* m_webPagesText = nullptr;
    QLabel* m_programsText = nullptr;
    SkinImage* m_okButton = nullptr;
    SkinImage* m_cancelButton = nullptr;
    QLabel* m_pageArrow = nullptr;
    OpenDialog* m_openDialog = nullptr;
    std::array<QLineEdit*, 8> m_nameEdits{};
    std::array<QLineEdit*, 8> m_pathEdits{};
};

}  // namespace obu
