// The teacher window: the card of the current teacher with photo, work data
// and address, an editable list of all teachers, and the page of positions,
// titles and degrees the card's pickers choose from. Every control works on
// the data module's shared datasets; the record navigators and the grids do
// all moving, inserting, storing and deleting.
//
// Several windows may exist; `Prep` names the newest. Closing only hides a
// window, which keeps its reference and its state.
#pragma once

#include <QWidget>

#include "References.h"

class DBEdit;
class DBGrid;
class DBLookupComboBox;
class DBNavigator;
class DBRadioGroup;
class DataSource;
class QGroupBox;
class QLabel;
class QPushButton;
class QSplitter;
class ReleaseSplitter;
class QStatusBar;
class QTabWidget;

class TPrep : public QWidget, public CardWindow {
    Q_OBJECT
public:
    explicit TPrep(QWidget* parent = nullptr);
    ~TPrep() override;

    static QString photoFilter();

    // Shows the current teacher's photo, or the placeholder, and names the
    // teacher in the status bar. A photo file that cannot be read is reported
    // by the caller's error display, and the status bar then keeps its texts.
    void refreshCard() override;
    bool isCardShown() const override { return isVisible(); }

    QTabWidget* PageControl1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QList<QLabel*> statusPanels;

    // Card.
    QGroupBox* CardBox = nullptr;
    DBEdit* FamEdit = nullptr;
    DBEdit* NameEdit = nullptr;
    DBEdit* SecNameEdit = nullptr;
    DBEdit* BirthDateEdit = nullptr;
    DBRadioGroup* SexGroup = nullptr;
    DBEdit* CitizenEdit = nullptr;
    DBEdit* BirthPlaceEdit = nullptr;
    QLabel* Photo = nullptr;
    QLabel* Placeholder = nullptr;
    QPushButton* PhotoButton = nullptr;
    DBLookupComboBox* KafedraPicker = nullptr;
    DBLookupComboBox* GroupPicker = nullptr;
    DBLookupComboBox* DolgnostPicker = nullptr;
    DBLookupComboBox* ZvaniePicker = nullptr;
    DBLookupComboBox* StepenPicker = nullptr;
    DBEdit* CityEdit = nullptr;
    DBEdit* StreetEdit = nullptr;
    DBEdit* HouseEdit = nullptr;
    DBEdit* AparEdit = nullptr;
    DBEdit* NumberEdit = nullptr;
    QPushButton* PrintButton = nullptr;
    DBNavigator* DBNavigator1 = nullptr;
    QSplitter* CardSplitter = nullptr;
    DBGrid* DBGrid1 = nullptr;

    // Positions, titles and degrees.
    ReleaseSplitter* TablesSplitter = nullptr;
    DBNavigator* ZvanieNavigator = nullptr;
    DBGrid* ZvanieGrid = nullptr;
    DBNavigator* DolgnostNavigator = nullptr;
    DBGrid* DolgnostGrid = nullptr;
    DBNavigator* StepenNavigator = nullptr;
    DBGrid* StepenGrid = nullptr;

    // Handlers.
    void PhotoButtonClick();
    void PrintButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // `Prep` names the window before the constructor's body runs; the window
    // also joins the live teacher windows the data module refreshes.
    WindowReference<TPrep>::Claim m_reference{Prep, this};

    QWidget* buildTeacherPage();
    QWidget* buildTablesPage();
    void buildPersonalBox(QGroupBox* box);
    void buildWorkBox(QGroupBox* box);
    void buildAddressBox(QGroupBox* box);
    void buildStatusBar();
    QGroupBox* tableBox(const QString& title, DataSource* source, int navigatorHeight,
                        DBNavigator*& navigator, DBGrid*& grid);
    void showPhotoFile(const QString& path);
    void showPlaceholder();
    void writeStatusBar();
};
