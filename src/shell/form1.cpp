#include "form1.h"

#include "about/form2.h"
#include "about/links.h"
#include "colouring/html_pass.h"
#include "dialogs.h"
#include "edit_area.h"
#include "insertion/insert_command.h"
#include "menu_table.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QScreen>
#include <QUrl>
#include <vector>

namespace {
const QString kTitlePrefix = QStringLiteral("Tagloom - ");
const QString kAppTitle = QStringLiteral("Tagloom");

// Window geometry is designed in twips: 1440 to the inch.
int twipsToPixels(int twips, qreal logicalDpi) {
    return qRound(twips * logicalDpi / 1440.0);
}

using Handler = void (Form1::*)();
struct CommandHandler {
    const char* control;
    Handler handler;
};

// clang-format off
const CommandHandler kHandlers[] = {
    {"newz", &Form1::newz_Click}, {"newhtmlpagezz", &Form1::newhtmlpagezz_Click},
    {"openz", &Form1::openz_Click}, {"savez", &Form1::savez_Click}, {"saveasz", &Form1::saveasz_Click},
    {"exitz", &Form1::exitz_Click}, {"htmlz", &Form1::htmlz_Click},
    {"normailtxtfilez", &Form1::normailtxtfilez_Click}, {"basicz", &Form1::basicz_Click},
    {"addimagez", &Form1::addimagez_Click}, {"addspecificfontz", &Form1::addspecificfontz_Click},
    {"closespecificfontz", &Form1::closespecificfontz_Click}, {"addaudioz", &Form1::addaudioz_Click},
    {"addmoviez", &Form1::addmoviez_Click}, {"addlinkz", &Form1::addlinkz_Click},
    {"addmarke", &Form1::addmarke_Click}, {"addemaillink", &Form1::addemaillink_Click},
    {"addblockquotez", &Form1::addblockquotez_Click}, {"addparagraphz", &Form1::addparagraphz_Click},
    {"addbreak", &Form1::addbreak_Click}, {"addhline", &Form1::addhline_Click},
    {"addunderlinedtext", &Form1::addunderlinedtext_Click}, {"additalictextz", &Form1::additalictextz_Click},
    {"addboltextz", &Form1::addboltextz_Click}, {"leftz", &Form1::leftz_Click},
    {"centerzz", &Form1::centerzz_Click}, {"rigth", &Form1::rigth_Click},
    {"opencreate", &Form1::opencreate_Click}, {"addtexttolitz", &Form1::addtexttolitz_Click},
    {"closrlistwithnumbersz", &Form1::closrlistwithnumbersz_Click},
    {"opencreatelistzxa", &Form1::opencreatelistzxa_Click}, {"adddtextlistzz", &Form1::adddtextlistzz_Click},
    {"closelistzzz", &Form1::closelistzzz_Click}, {"boldzz", &Form1::boldzz_Click},
    {"italiczz", &Form1::italiczz_Click}, {"underlinezz", &Form1::underlinezz_Click},
    {"strikez", &Form1::strikez_Click}, {"citationz", &Form1::citationz_Click}, {"codez", &Form1::codez_Click},
    {"break2z", &Form1::break2z_Click}, {"paragraph2z", &Form1::paragraph2z_Click},
    {"blockquote2z", &Form1::blockquote2z_Click}, {"normazzz", &Form1::normazzz_Click},
    {"withbgcolorz", &Form1::withbgcolorz_Click}, {"withbgimgz", &Form1::withbgimgz_Click},
    {"closetablez", &Form1::closetablez_Click}, {"addrowz", &Form1::addrowz_Click},
    {"addcellz", &Form1::addcellz_Click}, {"addformz", &Form1::addformz_Click},
    {"closeformz", &Form1::closeformz_Click}, {"addtextboxformz", &Form1::addtextboxformz_Click},
    {"addbuttonformz", &Form1::addbuttonformz_Click}, {"addtextareaz", &Form1::addtextareaz_Click},
    {"addcheckboxz", &Form1::addcheckboxz_Click}, {"addradizbuttonz", &Form1::addradizbuttonz_Click},
    {"startdropdownbox", &Form1::startdropdownbox_Click},
    {"addoptionsdropdownbox", &Form1::addoptionsdropdownbox_Click},
    {"enddropdownboxz", &Form1::enddropdownboxz_Click}, {"abouttgl", &Form1::abouttgl_Click},
    {"webpag", &Form1::webpag_Click},
};
// clang-format on
} // namespace

Form1::Form1(Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), quit_([] { QCoreApplication::exit(0); }) {
    setObjectName(QStringLiteral("Form1"));
    setAccessibleName(kAppTitle);
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/tagloom/icon-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    box_ = new EditArea(this);
    box_->setObjectName(QStringLiteral("box"));
    box_->setFont(QFont(QStringLiteral("Tahoma"), 9));
    box_->setAccessibleName(QStringLiteral("HTML document"));
    setCentralWidget(box_);
    buildMenuBar();

    // The client area below the menu bar is 8295 x 7215 twips at start.
    const qreal dpi = screen() ? screen()->logicalDotsPerInch() : 96.0;
    resize(twipsToPixels(8295, dpi), twipsToPixels(7215, dpi) + menuBar()->sizeHint().height());
    if (screen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen()->availableGeometry().center());
        move(frame.topLeft());
    }
    box_->setFocus();
}

Form1::~Form1() {
    // The About window has no owner; it goes with the program.
    delete about_;
}

void Form1::buildMenuBar() {
    std::vector<std::pair<int, QMenu*>> open; // the submenu at each level
    QList<QKeySequence> shortcuts;
    for (const MenuItem& item : menuTable()) {
        while (!open.empty() && open.back().first >= item.level)
            open.pop_back();
        QMenu* parentMenu = open.empty() ? nullptr : open.back().second;
        const QString control = QString::fromLatin1(item.control);
        if (!item.caption) {
            QAction* separator = parentMenu->addSeparator();
            separator->setObjectName(control);
            actions_.insert(control, separator);
            continue;
        }
        const QString caption = QString::fromLatin1(item.caption);
        const bool isSubmenu = &item != &menuTable().back() && (&item)[1].level > item.level;
        if (isSubmenu) {
            QMenu* menu = parentMenu ? parentMenu->addMenu(caption) : menuBar()->addMenu(caption);
            menu->setObjectName(control);
            menu->menuAction()->setObjectName(control);
            actions_.insert(control, menu->menuAction());
            open.emplace_back(item.level, menu);
            continue;
        }
        QAction* action = parentMenu->addAction(caption);
        action->setObjectName(control);
        if (item.shortcut) {
            action->setShortcut(QKeySequence(QString::fromLatin1(item.shortcut), QKeySequence::PortableText));
            action->setShortcutContext(Qt::WindowShortcut);
            shortcuts << action->shortcut();
        }
        actions_.insert(control, action);
    }
    for (const CommandHandler& h : kHandlers) {
        QAction* action = actions_.value(QString::fromLatin1(h.control));
        Q_ASSERT(action);
        connect(action, &QAction::triggered, this, [this, handler = h.handler] { (this->*handler)(); });
    }
    box_->setReservedShortcuts(shortcuts);
}

void Form1::setTitleFromFile() {
    setWindowTitle(kTitlePrefix + CurrentFile_);
}

void Form1::Form_Load(const QString& argumentText) {
    QString candidate;
    if (!argumentText.isEmpty()) {
        // A leading quote drops the first and the last character, whatever the last one is.
        if (argumentText.startsWith(fields_.Text4))
            Load_File(argumentText.mid(1, argumentText.size() - 2));
        else
            Load_File(argumentText);
        candidate = argumentText;
    }
    CurrentFile_ = candidate.remove(fields_.Text4);
    if (CurrentFile_.isEmpty())
        setWindowTitle(kTitlePrefix + QStringLiteral("Untitled*"));
    else
        setTitleFromFile();
}

void Form1::Load_File(const QString& path) {
    // Failures are silent here: the document stays empty and the title still names the path.
    ReadResult result = document_file::read(path);
    format_ = result.error ? DocumentFormat{} : result.format;
    box_->loadText(result.error ? QString() : result.text);
    if (result.error && QFileInfo::exists(path))
        unreadableAtStart_ = QFileInfo(path).absoluteFilePath();
}

void Form1::newz_Click() {
    if (!dialogs_.askYesNo(this, QStringLiteral("Do you really want to start over?"), Dialogs::Icon::None,
                           kAppTitle)) {
        box_->SetFocus();
        return;
    }
    box_->setText(QString());
    fields_.Text3.clear();
    CurrentFile_.clear();
    format_ = DocumentFormat{};
}

void Form1::exitz_Click() {
    if (dialogs_.askYesNo(this, QStringLiteral("Are you sure you want to close without saving?"),
                          Dialogs::Icon::Question, QString()))
        endProgram();
    else
        update();
}

void Form1::endProgram() {
    ending_ = true;
    if (about_)
        about_->close();
    quit_();
}

void Form1::closeEvent(QCloseEvent* event) {
    if (ending_) {
        event->accept();
        return;
    }
    bool cancel = false;
    Form_Unload(cancel);
    if (cancel) {
        event->ignore();
        return;
    }
    event->accept();
    endProgram();
}

void Form1::Form_Unload(bool& cancel) {
    cancel = !dialogs_.askYesNo(this, QStringLiteral("Are you sure you want to close?"),
                                Dialogs::Icon::Question, QString());
}

namespace {
QString fileFilter(const QString& flType) {
    // The label shows "*.<type>"; a type of "*" lists every file, names without a dot too.
    QString patterns = QStringLiteral("*.") + flType;
    if (flType == QStringLiteral("*"))
        patterns += QStringLiteral(" *");
    return QStringLiteral("File Type (*.") + flType + QStringLiteral(") (") + patterns + QStringLiteral(")");
}
} // namespace

QString Form1::Select_File(const QString& Desc, QWidget* MyForm, const QString& flType) {
    return dialogs_.openFileName(MyForm, Desc, QDir::currentPath(), fileFilter(flType));
}

QString Form1::Save_File(const QString& Desc, QWidget* MyForm, const QString& flType) {
    return dialogs_.saveFileName(MyForm, Desc, QDir::currentPath(), fileFilter(flType));
}

void Form1::openz_Click() {
    if (!box_->document()->isEmpty() &&
        !dialogs_.askYesNo(this, QStringLiteral("Dont you really want to edit other?"), Dialogs::Icon::None,
                           kAppTitle)) {
        box_->SetFocus();
        return;
    }
    // The document is replaced only once a file was chosen and read: a cancelled dialog or an
    // unreadable file leaves it as it was.
    const QString path = Select_File(QStringLiteral("Select File to Open!"), this, QStringLiteral("*"));
    if (path.isEmpty())
        return;
    const ReadResult result = document_file::read(path);
    if (result.error) {
        dialogs_.showMessage(this, result.error.description, Dialogs::Icon::Exclamation,
                             QStringLiteral("Error ") + QString::number(result.error.number));
        return;
    }
    box_->loadText(result.text);
    format_ = result.format;
    unreadableAtStart_.clear();
    CurrentFile_ = path;
    setTitleFromFile();
}

void Form1::savez_Click() {
    fields_.Text3 = box_->Text();
    if (!CurrentFile_.isEmpty())
        Write_File(CurrentFile_);
    else
        saveasz_Click();
}

void Form1::saveasz_Click() {
    fields_.Text3 = box_->Text();
    const QString path = Save_File(QStringLiteral("Save Your File"), this, QStringLiteral("*"));
    // Cancelling changes nothing; the path and title follow only a successful write.
    if (path.isEmpty() || !Write_File(path))
        return;
    CurrentFile_ = path;
    setTitleFromFile();
}

bool Form1::Write_File(const QString& path) {
    // Every write opens, writes and closes within this call, so no file is ever left open
    // between commands and "file already open" cannot arise.
    if (!unreadableAtStart_.isEmpty() && QFileInfo(path).absoluteFilePath() == unreadableAtStart_) {
        dialogs_.showMessage(
            this,
            QStringLiteral("Path/File access error: this file could not be read when Tagloom "
                           "started, so saving would replace what it holds. It is left as it "
                           "was; use Save As to save under another name.\n") +
                QDir::toNativeSeparators(path),
            Dialogs::Icon::Exclamation, QStringLiteral("Error 75"));
        return false;
    }
    DocumentFormat format = format_;
    const QByteArray bytes = document_file::encode(fields_.Text3, &format);
    const FileError error = document_file::write(path, bytes);
    if (error) {
        dialogs_.showMessage(this, error.description, Dialogs::Icon::Exclamation,
                             QStringLiteral("Error ") + QString::number(error.number));
        return false;
    }
    format_ = format;
    return true;
}

void Form1::normailtxtfilez_Click() {
    // The colour model drops its colours without rewriting the text, so the undo history and
    // the text stay as they were; the caret goes to the start as after a whole-text assignment.
    fields_.Text3 = box_->Text();
    box_->clearColours();
    box_->setSelStart(0);
}

void Form1::htmlz_Click() {
    fields_.Text3 = box_->Text();
    const PassResult pass = runHtmlPass(fields_.Text3, fields_);
    box_->setUpdatesEnabled(false);
    box_->setColours(pass.colours, kPassPalette);
    box_->setSelStart(pass.selection.start);
    box_->setSelLength(pass.selection.length);
    box_->setUpdatesEnabled(true);
    box_->SetFocus();
}

void Form1::Highlight(EditArea& tRich, const QString& tWord, Colour tColor) {
    // The selection is never moved, so there is nothing to restore.
    for (auto [start, length] : wordOccurrences(tRich.Text(), tWord))
        tRich.colourRange(start, length, tColor);
}

namespace {
void colourDelimited(EditArea& tRich, const QString& open, const QString& close, Colour colour) {
    const DelimitedScan scan = scanDelimited(tRich.Text(), open, close);
    for (auto [start, length] : scan.ranges) {
        tRich.setSelStart(start);
        tRich.setSelLength(length);
        tRich.setSelColor(colour);
    }
    if (scan.movedSelection) {
        tRich.setSelStart(scan.selection.start);
        tRich.setSelLength(scan.selection.length);
    }
}
} // namespace

void Form1::Color_Values(EditArea& tRich) {
    colourDelimited(tRich, fields_.Text2, fields_.Text4 + QStringLiteral(">"), kPureRed);
}

void Form1::Color_Declarations(EditArea& tRich) {
    colourDelimited(tRich, fields_.Text8, fields_.Text9, kSystemGreyText);
}

void Form1::insert(const char* control) {
    runInsertCommand(*findInsertCommand(control), dialogs_, this, *box_, fields_);
}

namespace {
bool confirmPage(Dialogs& dialogs, QWidget* owner, const char* question) {
    return dialogs.askYesNo(owner, QString::fromLatin1(question), Dialogs::Icon::None, kAppTitle);
}
} // namespace

void Form1::newhtmlpagezz_Click() {
    if (!confirmPage(dialogs_, this, "Do you really want start a new HTML page?")) {
        box_->SetFocus();
        return;
    }
    // Emptied before the first prompt, so even a fully cancelled page is a document without a file.
    fields_.Text3.clear();
    CurrentFile_.clear();
    format_ = DocumentFormat{};
    runPageTemplate(*findInsertCommand("newhtmlpagezz"), dialogs_, this, *box_, fields_);
}

void Form1::basicz_Click() {
    if (!confirmPage(dialogs_, this, "Do you really want to wrap text with HTML basics?")) {
        box_->SetFocus();
        return;
    }
    runPageTemplate(*findInsertCommand("basicz"), dialogs_, this, *box_, fields_);
}

void Form1::abouttgl_Click() {
    if (!about_)
        about_ = new Form2();
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void Form1::webpag_Click() {
    // The platform opens the page with the default browser; nothing is reported either way.
    QDesktopServices::openUrl(QUrl(QString::fromUtf8(links::kWebPage)));
}
