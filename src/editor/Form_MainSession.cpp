// What keeps the designer's work safe in TFormMain: Edit > Undo and Redo, backups of unsaved work
// with the offer to restore one after a crash, File > Recent and worlds dropped on the window.

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>

#include "editor/Form_Main.h"
#include "editor/PanelController.h"
#include "foundation/Codec.h"
#include "foundation/QX_Str.h"
#include "platform/ProcessAlive.h"
#include "render/Scene.h"
#include "render/gm_Tex.h"

namespace gm {

namespace {

// Notes every key press and mouse action of the application (backups wait for a pause).
class InputWatch final : public QObject {
public:
    explicit InputWatch(std::function<void()> seen) : Seen_(std::move(seen)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
        case QEvent::Wheel:
            Seen_();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> Seen_;
};

// Holds every texture entry while the document is read back: the objects that used them are
// released and made anew, and without this each undo would decode every image again (and repeat
// the message of a texture that cannot be loaded).
class TexturesKept {
public:
    explicit TexturesKept(TexList& list) : List_(list) {
        std::vector<std::u16string> names;
        for (const TgmTex* tex : list.Entries())
            names.push_back(tex->TexFileName);
        for (const std::u16string& name : names)
            Held_.push_back(list.TexAcquire(name));
    }
    ~TexturesKept() {
        for (TgmTex* tex : Held_)
            List_.TexRelease(tex);
    }
    TexturesKept(const TexturesKept&) = delete;
    TexturesKept& operator=(const TexturesKept&) = delete;

private:
    TexList& List_;
    std::vector<TgmTex*> Held_;
};

std::vector<std::u16string> LocalFiles(const QMimeData* data) {
    std::vector<std::u16string> files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdU16String());
    return files;
}

} // namespace

// --- Undo and redo ---

void TFormMain::EditRestore(bool undo) {
    // A drag under way ends and is a step of its own, taken back first.
    Panel_->CancelAll();
    PanelSteps_.Flush();
    const TexturesKept textures(Scene_->Textures);
    QuietPages_ = true;
    if (undo)
        Commands_.EditUndo();
    else
        Commands_.EditRedo();
    QuietPages_ = false;
    // The restored objects take their textures while the old entries are still held.
    RedrawNow();
}

// --- Recent files and dropped files ---

void TFormMain::WorldFileUsed(const std::u16string& fileName) {
    Recent_.Add(fileName);
    Recent_.Save(Store_);
    RecentMenuRefresh();
}

void TFormMain::OpenRecent(const std::u16string& fileName) {
    Panel_->CancelAll();
    if (Commands_.OpenFileConfirmed(fileName)) return;
    // A world that has gone leaves the list; one that failed otherwise stays to be tried again.
    if (!QFileInfo::exists(QString::fromStdU16String(fileName))) {
        Recent_.Remove(fileName);
        Recent_.Save(Store_);
        RecentMenuRefresh();
    }
}

void TFormMain::OpenDropped(const std::vector<std::u16string>& files) {
    const std::u16string world = DroppedWorldFile(files);
    if (world.empty()) return;
    StatusClear();
    Panel_->CancelAll();
    Commands_.OpenFileConfirmed(world);
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedWorldFile(LocalFiles(event->mimeData())).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TFormMain::dropEvent(QDropEvent* event) {
    const std::vector<std::u16string> files = LocalFiles(event->mimeData());
    if (DroppedWorldFile(files).empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Opened once the drop has finished, so the program the files came from is not held up by
    // the unsaved-changes question.
    QTimer::singleShot(0, this, [this, files] { OpenDropped(files); });
}

// --- Backups and recovery ---

void TFormMain::StartSession(const std::u16string& folder, std::function<bool(int64_t)> alive) {
    const std::string dir = WideToAnsiQX(folder);
    Alive_ = alive ? std::move(alive) : ProcessAlive;
    Autosave_ = std::make_unique<Autosave>(dir);
    Session_ = std::make_unique<SessionMark>(dir, QCoreApplication::applicationPid());
    // Without the mark a crash of this run cannot be noticed; backups are still written, and
    // their failures are reported when they happen.
    Session_->Begin();
    if (!InputWatch_) {
        InputWatch_ = std::make_unique<InputWatch>([this] { LastInputMs_ = NowMs(); });
        QCoreApplication::instance()->installEventFilter(InputWatch_.get());
    }
    AutosaveTimer_.start(AutosavePollMs);
}

void TFormMain::EndSession() {
    if (Session_) Session_->End();
}

void TFormMain::AutosaveTick() {
    // Never from inside a dialog: the export numbers the world's objects while its progress
    // dialog runs, and a failure message must not open another one on top of itself.
    if (!Autosave_ || AutosaveBusy_ || QApplication::activeModalWidget()) return;
    const uint64_t now = NowMs();
    const uint64_t generation = Commands_.History().Generation();
    if (!Autosave_->Due(now, DocState.Modified(), generation, LastInputMs_)) return;
    AutosaveBusy_ = true;
    const BackupResult result =
        Autosave_->Write(Doc, now, generation, QDateTime::currentMSecsSinceEpoch());
    if (!result.Report.empty()) ShowMessage(result.Report);
    AutosaveBusy_ = false;
}

bool TFormMain::OfferRecovery() {
    if (!Autosave_) return false;
    const RecoveryOffer offer =
        RecoveryFind(Autosave_->Folder(), QCoreApplication::applicationPid(), Alive_);
    // Asked once: whatever the answer, the crashed run is forgotten (its backups stay).
    RecoveryForget(offer);
    if (!offer.Found) return false;

    const QString when = QFileInfo(QString::fromStdString(offer.Backup))
                             .lastModified()
                             .toString(QLocale().dateTimeFormat(QLocale::ShortFormat));
    const std::string world = offer.Origin.empty()
                                  ? std::string("an untitled world")
                                  : "\"" + WideToAnsiQX(FileBaseNameQX(offer.Origin)) + "\"";
    const std::string text = "Skyhaul Gridmoor did not end normally last time. A backup of " +
                             world + " from " + when.toStdString() +
                             " holds changes that were not saved.\n\nRestore it?";
    bool restore = false;
    if (RecoveryPrompt_) {
        restore = RecoveryPrompt_(text);
    } else {
        restore = QMessageBox::question(this, windowTitle(), QString::fromStdString(text),
                                        QMessageBox::Yes | QMessageBox::No,
                                        QMessageBox::Yes) == QMessageBox::Yes;
    }
    if (!restore) return false;
    Panel_->CancelAll();
    return Commands_.RecoverBackup(AnsiToWideQX(offer.Backup), offer.Origin);
}

} // namespace gm
