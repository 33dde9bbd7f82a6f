#pragma once

#include "about/form2.h"
#include "colour.h"
#include "document_file.h"
#include "hidden_fields.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <functional>

class Dialogs;
class EditArea;
class QAction;

/// The main window: the edit area, the hidden fields, the document state and the menu commands.
/// The commands' work lives in the colouring, insertion and file modules; this class wires them.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(Dialogs& dialogs, QWidget* parent = nullptr);
    ~Form1() override;

    /// Start-up with the command-line argument text.
    void Form_Load(const QString& argumentText);

    /// The platform's Open dialog; the chosen path, or empty.
    QString Select_File(const QString& Desc, QWidget* MyForm, const QString& flType);
    /// The platform's Save As dialog; the chosen path, or empty.
    QString Save_File(const QString& Desc, QWidget* MyForm, const QString& flType);
    /// Colours every occurrence of @p tWord (any letter case) in @p tRich.
    void Highlight(EditArea& tRich, const QString& tWord, Colour tColor);
    /// Attribute values red, as one step of the colouring pass run alone. The pass itself
    /// computes all its steps in one sweep over the text.
    void Color_Values(EditArea& tRich);
    /// Declarations and comments in the system grey-text colour, as one step run alone.
    void Color_Declarations(EditArea& tRich);

    EditArea* box() const { return box_; }
    HiddenFields& fields() { return fields_; }
    const QString& CurrentFile() const { return CurrentFile_; }
    const DocumentFormat& documentFormat() const { return format_; }
    QAction* action(const QString& control) const { return actions_.value(control); }
    Form2* aboutWindow() const { return about_; }
    /// What ends the program; tests replace it.
    void setQuitHandler(std::function<void()> quit) { quit_ = std::move(quit); }

    // Menu commands, named after their menu item's control.
    void newz_Click();
    void newhtmlpagezz_Click();
    void openz_Click();
    void savez_Click();
    void saveasz_Click();
    void exitz_Click();
    void htmlz_Click();
    void normailtxtfilez_Click();
    void basicz_Click();
    void abouttgl_Click();
    void webpag_Click();
    void addimagez_Click() { insert("addimagez"); }
    void addspecificfontz_Click() { insert("addspecificfontz"); }
    void closespecificfontz_Click() { insert("closespecificfontz"); }
    void addaudioz_Click() { insert("addaudioz"); }
    void addmoviez_Click() { insert("addmoviez"); }
    void addlinkz_Click() { insert("addlinkz"); }
    void addmarke_Click() { insert("addmarke"); }
    void addemaillink_Click() { insert("addemaillink"); }
    void addblockquotez_Click() { insert("addblockquotez"); }
    void addparagraphz_Click() { insert("addparagraphz"); }
    void addbreak_Click() { insert("addbreak"); }
    void addhline_Click() { insert("addhline"); }
    void addunderlinedtext_Click() { insert("addunderlinedtext"); }
    void additalictextz_Click() { insert("additalictextz"); }
    void addboltextz_Click() { insert("addboltextz"); }
    void leftz_Click() { insert("leftz"); }
    void centerzz_Click() { insert("centerzz"); }
    void rigth_Click() { insert("rigth"); }
    void opencreate_Click() { insert("opencreate"); }
    void addtexttolitz_Click() { insert("addtexttolitz"); }
    void closrlistwithnumbersz_Click() { insert("closrlistwithnumbersz"); }
    void opencreatelistzxa_Click() { insert("opencreatelistzxa"); }
    void adddtextlistzz_Click() { insert("adddtextlistzz"); }
    void closelistzzz_Click() { insert("closelistzzz"); }
    void boldzz_Click() { insert("boldzz"); }
    void italiczz_Click() { insert("italiczz"); }
    void underlinezz_Click() { insert("underlinezz"); }
    void strikez_Click() { insert("strikez"); }
    void citationz_Click() { insert("citationz"); }
    void codez_Click() { insert("codez"); }
    void break2z_Click() { insert("break2z"); }
    void paragraph2z_Click() { insert("paragraph2z"); }
    void blockquote2z_Click() { insert("blockquote2z"); }
    void normazzz_Click() { insert("normazzz"); }
    void withbgcolorz_Click() { insert("withbgcolorz"); }
    void withbgimgz_Click() { insert("withbgimgz"); }
    void closetablez_Click() { insert("closetablez"); }
    void addrowz_Click() { insert("addrowz"); }
    void addcellz_Click() { insert("addcellz"); }
    void addformz_Click() { insert("addformz"); }
    void closeformz_Click() { insert("closeformz"); }
    void addtextboxformz_Click() { insert("addtextboxformz"); }
    void addbuttonformz_Click() { insert("addbuttonformz"); }
    void addtextareaz_Click() { insert("addtextareaz"); }
    void addcheckboxz_Click() { insert("addcheckboxz"); }
    void addradizbuttonz_Click() { insert("addradizbuttonz"); }
    void startdropdownbox_Click() { insert("startdropdownbox"); }
    void addoptionsdropdownbox_Click() { insert("addoptionsdropdownbox"); }
    void enddropdownboxz_Click() { insert("enddropdownboxz"); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Unload(bool& cancel);
    void Load_File(const QString& path);
    bool Write_File(const QString& path);
    void setTitleFromFile();
    void insert(const char* control);
    void endProgram();
    void buildMenuBar();

    Dialogs& dialogs_;
    EditArea* box_ = nullptr;
    HiddenFields fields_;
    QString CurrentFile_;
    DocumentFormat format_;
    QHash<QString, QAction*> actions_;
    QPointer<Form2> about_;
    /// A file named at start-up that exists but could not be read: saving the (empty) document
    /// over it would destroy it.
    QString unreadableAtStart_;
    std::function<void()> quit_;
    bool ending_ = false;
};
