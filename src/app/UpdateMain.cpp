#include "UpdateMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <algorithm>

#include "WindowTexts.h"
#include "platform/MessageHooks.h"
#include "platform/ProgramDirectory.h"

namespace {


QImage Asset(const char* name) { return QImage(QStringLiteral(":/assets/") + QLatin1String(name)); }

QLabel* NewImage(QWidget* parent, const char* asset, const QRect& geometry) {
    auto* image = new QLabel(parent);
    image->setScaledContents(true);
    image->setPixmap(QPixmap::fromImage(Asset(asset)));
    image->setGeometry(geometry);
    return image;
}

TBmpButton* NewButton(QWidget* parent, const char* name, const QRect& geometry) {
    auto* button = new TBmpButton(parent);
    button->setGeometry(geometry);
    button->setCursor(Qt::PointingHandCursor);
    const QString prefix = QLatin1String(name);
    TButtonBitmaps& bitmaps = button->Bitmaps();
    bitmaps.SetUp(Asset((prefix + "-up.bmp").toLatin1().constData()));
    bitmaps.SetDown(Asset((prefix + "-down.bmp").toLatin1().constData()));
    bitmaps.SetDisabled(Asset((prefix + "-disabled.bmp").toLatin1().constData()));
    bitmaps.SetTransparentColor(QColor(128, 128, 0));
    button->SetColor(button->palette().color(QPalette::Button));
    return button;
}

// Labels size themselves to their caption's width, as the window's resource
// expects: the completion text is wider than the start text.
// The scope of a flag that is true while it lives.
class FlagScope {
  public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& flag_;
};

}  // namespace

TfrmUpdateMain::TfrmUpdateMain(QWidget* parent) : QWidget(parent) {
    // The images are compiled into a static library: register them once.
    static const bool assetsRegistered = [] {
        Q_INIT_RESOURCE(assets);
        return true;
    }();
    Q_UNUSED(assetsRegistered);
    setWindowTitle(QString::fromUtf8("zuvo更新"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setFixedSize(423, 164);
    QFont font;
    // The window's face is a 12-pixel CJK face; the first one installed wins.
    font.setFamilies({QString::fromUtf8("SimSun"), QString::fromUtf8("宋体"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    setFont(font);
    CreateControls();
    CreateComponents();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
    }
    FormCreate();
}

TfrmUpdateMain::~TfrmUpdateMain() = default;

std::string TfrmUpdateMain::ProgramDir() const {
    return ProgramDirOverride.empty() ? ProgramDirectory() : ProgramDirOverride;
}

void TfrmUpdateMain::SetLabelCaption(const char* caption) {
    // The label grows with its caption, so a longer text is never cut.
    const QString text = QString::fromUtf8(caption);
    Label1->setText(text);
    Label1->resize(Label1->fontMetrics().horizontalAdvance(text), Label1->height());
}

void TfrmUpdateMain::CreateControls() {
    FormShape1 = new TFormShape(this);
    FormShape1->SetPicture(Asset("background.bmp"));
    Label1 = new QLabel(QString::fromUtf8(kStartText), this);
    Label1->setGeometry(272, 42, 120, 12);
    Image1 = NewImage(this, "bar-back.bmp", QRect(16, 80, 393, 17));
    Image2 = NewImage(this, "bar-fill.bmp", QRect(18, 81, 7, 14));
    btnOk = NewButton(this, "ok", QRect(264, 126, 64, 22));
    btnOk->setEnabled(false);
    btnCancel = NewButton(this, "cancel", QRect(336, 126, 64, 22));
    setTabOrder(btnOk, btnCancel);
    connect(btnOk, &TBmpButton::OnClick, this, [this] { btnOkClick(); });
    connect(btnCancel, &TBmpButton::OnClick, this, [this] { btnCancelClick(); });
}

void TfrmUpdateMain::CreateComponents() {
    UnZipper1 = std::make_unique<TUnZipper>();
    UnZipper1->RecreateDirs = true;
    UnZipper1->DoAll = true;
    // The timer runs from creation on, before the window is shown.
    Timer1 = new QTimer(this);
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer1->start();
    TcpClient1 = std::make_unique<TTcpClient>();
    TcpClient1->Port = 0;
    TcpClient1->OnWork = [this](TNetComponent* sender, TWorkMode mode, int64_t count) {
        TcpClient1Work(sender, mode, count);
    };
    TcpClient1->OnWorkEnd = [this](TNetComponent* sender, TWorkMode mode) {
        TcpClient1WorkEnd(sender, mode);
    };
}

void TfrmUpdateMain::FormCreate() {
    TickCount = 0;
    WorkCount = 0;
    Image2->resize(1, Image2->height());
}

void TfrmUpdateMain::Timer1Timer() {
    TickCount += 1;
    if (TickCount >= 2) {
        Timer1->stop();
        btnOk->setEnabled(false);
        const bool downloaded = DownloadPackage();
        if (OnDownloadDone) {
            OnDownloadDone(downloaded);
        }
    }
}

void TfrmUpdateMain::TcpClient1Work(TNetComponent*, TWorkMode, int64_t) {
    WorkCount += 1;
    if (Image2->width() >= kFullBar) {
        return;
    }
    Image2->resize(std::min(WorkCount, kFullBar), Image2->height());
    Image2->update();
    ProcessMessages();
}

void TfrmUpdateMain::TcpClient1WorkEnd(TNetComponent*, TWorkMode) {
    SetLabelCaption(kDoneText);
    QThread::msleep(500);
    btnOk->setEnabled(true);
    Image2->resize(kFullBar, Image2->height());
}

void TfrmUpdateMain::btnOkClick() {
    if (installing_) {
        return;
    }
    FlagScope running(installing_);
    InstallPackage();
}

void TfrmUpdateMain::btnCancelClick() { close(); }

void TfrmUpdateMain::closeEvent(QCloseEvent* event) {
    event->accept();
    QCoreApplication::quit();
}
