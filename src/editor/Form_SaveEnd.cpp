#include "editor/Form_SaveEnd.h"
#include "editor/CentreOnDesktop.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <memory>

#include "editing/Settings.h"
#include "foundation/Codec.h"
#include "foundation/QX_Error.h"
#include "render/Camera.h"
#include "world/WorldDoc.h"

namespace gm {

namespace {

// Restores the cursor on every way out of the export.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

TFormSaveEnd::TFormSaveEnd(WorldDoc& doc, Camera& camera, const Settings& settings, QWidget* parent)
    : QDialog(parent), Doc_(doc), Camera_(camera), Settings_(settings) {
    setObjectName("FormSaveEnd");
    setWindowTitle("Save End");
    setFixedSize(381, 329);

    // A list of maps this editor does not offer: only its header row is shown.
    DGL = new QTableWidget(0, 3, this);
    DGL->setObjectName("DGL");
    DGL->setGeometry(8, 8, 289, 289);
    DGL->setHorizontalHeaderLabels({"Name", "Portal", "Priority"});
    QFont bold = DGL->horizontalHeader()->font();
    bold.setBold(true);
    DGL->horizontalHeader()->setFont(bold);
    DGL->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    const int widths[] = {156, 48, 56};
    for (int c = 0; c < 3; ++c)
        DGL->setColumnWidth(c, widths[c]);
    DGL->verticalHeader()->hide();
    DGL->verticalHeader()->setDefaultSectionSize(18);
    DGL->setSelectionMode(QAbstractItemView::NoSelection);
    DGL->setEditTriggers(QAbstractItemView::NoEditTriggers);

    BitBtnSaveTest = new QPushButton("Save test", this);
    BitBtnSaveTest->setObjectName("BitBtnSaveTest");
    BitBtnSaveTest->setGeometry(304, 80, 73, 25);
    Label2 = new QLabel("Opt size:", this);
    Label2->setObjectName("Label2");
    Label2->move(304, 200);
    Label1 = new QLabel("0", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(304, 216, 73, 16);
    BitBtn1 = new QPushButton("OK", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(304, 272, 73, 25);

    // What would stop the export, or probably spoil the game, before "Save test" is pressed.
    LabelProblems = new QLabel(this);
    LabelProblems->setObjectName("LabelProblems");
    LabelProblems->setGeometry(304, 120, 73, 48);
    LabelProblems->setWordWrap(true);

    // A designer must see where the game files go before writing over them.
    LabelTarget = new QLabel(this);
    LabelTarget->setObjectName("LabelTarget");
    LabelTarget->setGeometry(8, 304, 369, 18);
    LabelTarget->setTextInteractionFlags(Qt::TextSelectableByMouse);

    connect(BitBtnSaveTest, &QPushButton::clicked, this, &TFormSaveEnd::BitBtnSaveTestClick);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

void TFormSaveEnd::FormShow() {
    Label1->setText("0");
    const QString mapFile =
        QString::fromStdString(EndDataFile(WideToAnsiQX(Settings_.SkyhaulPath), "edit.map"));
    const QString folder = QDir::toNativeSeparators(QFileInfo(mapFile).path());
    LabelTarget->setToolTip(folder);
    LabelTarget->setText(LabelTarget->fontMetrics().elidedText(
        "Writes into: " + folder, Qt::ElideMiddle, LabelTarget->width()));
    ProblemsRefresh();
}

void TFormSaveEnd::ProblemsRefresh() {
    Problems_ = Check_ ? Check_() : WorldCheck(Doc_);
    const CheckCounts counts = CountProblems(Problems_);
    LabelProblems->setText(
        QString("Errors: %1\nWarnings: %2").arg(counts.Errors).arg(counts.Warnings));
}

void TFormSaveEnd::FormHide() {
    OptClear(Opt_);
}

void TFormSaveEnd::BitBtnSaveTestClick() {
    const std::string game = WideToAnsiQX(Settings_.SkyhaulPath);
    const std::string mapFile = EndDataFile(game, "edit.map");
    const std::string optFile = EndDataFile(game, "edit.opt");

    // Every reason at once rather than the export's first.
    ProblemsRefresh();
    std::string errors;
    for (const CheckProblem& p : Problems_)
        if (p.Severity == CheckSeverity::Error) errors += "\n" + CheckProblemText(p);
    if (!errors.empty()) {
        const std::string text = "The world cannot be exported:" + errors;
        if (Sink_)
            Sink_(text);
        else
            QMessageBox::critical(this, windowTitle(), QString::fromStdString(text));
        return;
    }

    // 2,664 camera directions take a while on a big world: show how far, and let it be stopped.
    std::unique_ptr<QProgressDialog> progress;
    OptProgress report = ProgressHook_;
    if (!report && !Opt_.Built) {
        progress =
            std::make_unique<QProgressDialog>("Computing the visibility of every view "
                                              "direction...",
                                              "Cancel", 0, OptLonCount * OptPolarCount, this);
        progress->setWindowTitle(windowTitle());
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(500);
        report = [&progress](int done, int) {
            progress->setValue(done);
            return !progress->wasCanceled();
        };
    }

    int64_t size = OptCancelled;
    std::string error;
    {
        const WaitCursor wait;
        // The visibility pass turns the camera through every direction; the view the designer
        // had comes back however the export ends.
        const Camera view = Camera_;
        try {
            size = EndExport(Doc_, Camera_, Opt_, mapFile, optFile, report);
        } catch (const ErrorQX& e) {
            error = e.Message();
        }
        Camera_ = view;
    }
    progress.reset();
    // The figure belongs to the optimisation, not to the files: once computed it shows, even
    // when writing them then fails.
    if (Opt_.Built) Label1->setText(QString::number(Opt_.Size));
    if (!error.empty()) {
        if (Sink_)
            Sink_(error);
        else
            QMessageBox::critical(this, windowTitle(), QString::fromStdString(error));
        return;
    }
    if (size == OptCancelled) return;
    Label1->setText(QString::number(size));
    emit Exported(QString::fromStdString("Saved " + mapFile + " and " + optFile));
}

void TFormSaveEnd::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        FormShow();
        CentreOnDesktop(*this);
    }
    QDialog::showEvent(event);
}

void TFormSaveEnd::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) FormHide();
    QDialog::hideEvent(event);
}

} // namespace gm
