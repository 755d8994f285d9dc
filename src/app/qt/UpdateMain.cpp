#include "UpdateMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "workflow/WorkflowTexts.h"

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
    // The buttons have no caption to frame: the focus shows in the image.
    bitmaps.SetUpAndFocused(Asset((prefix + "-focused.bmp").toLatin1().constData()));
    bitmaps.SetTransparentColor(QColor(128, 128, 0));
    button->SetColor(button->palette().color(QPalette::Button));
    return button;
}

}  // namespace

TfrmUpdateMain::TfrmUpdateMain(IUpdateSteps& steps, TWorkflowTimings timings, QWidget* parent)
    : QWidget(parent) {
    // The images are compiled into a static library: register them once.
    static const bool assetsRegistered = [] {
        Q_INIT_RESOURCE(assets);
        return true;
    }();
    Q_UNUSED(assetsRegistered);
    setWindowTitle(QString::fromUtf8(kWindowCaption));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setFixedSize(423, 164);
    QFont font;
    // The window's face is a 12-pixel CJK face; the first one installed wins.
    font.setFamilies({QString::fromUtf8("SimSun"), QString::fromUtf8("宋体"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    setFont(font);
    CreateControls();
    Timer1 = new QTimer(this);
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, [this] { Workflow->Timer1Timer(); });
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
    }
    Workflow = std::make_unique<TUpdateWorkflow>(*this, steps, timings);
}

TfrmUpdateMain::~TfrmUpdateMain() = default;

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
    // At start the window itself holds the focus: left to Qt, it would go
    // to the first enabled button, Cancel, and Enter would end the updater.
    setFocus(Qt::OtherFocusReason);
    connect(btnOk, &TBmpButton::OnClick, this, [this] { Workflow->btnOkClick(); });
    connect(btnCancel, &TBmpButton::OnClick, this, [this] { Workflow->btnCancelClick(); });
}

void TfrmUpdateMain::SetLabelCaption(const std::string& caption) {
    // Labels size themselves to their caption, as the window's resource
    // expects: the completion text is wider than the start text.
    const QString text = QString::fromStdString(caption);
    Label1->setText(text);
    Label1->resize(Label1->fontMetrics().horizontalAdvance(text), Label1->height());
}

void TfrmUpdateMain::SetBarWidth(int width) {
    Image2->resize(width, Image2->height());
    Image2->update();
}

void TfrmUpdateMain::SetOkEnabled(bool enabled) {
    btnOk->setEnabled(enabled);
    if (enabled) {
        // The download is complete: OK is what Enter should press now.
        btnOk->setFocus(Qt::OtherFocusReason);
    }
}

void TfrmUpdateMain::StartTimer(int intervalMs) { Timer1->start(intervalMs); }

void TfrmUpdateMain::StopTimer() { Timer1->stop(); }

void TfrmUpdateMain::Close() { close(); }

bool TfrmUpdateMain::Shown() const { return isVisible(); }

void TfrmUpdateMain::EndProgram() { QCoreApplication::quit(); }

void TfrmUpdateMain::Defer(std::function<void()> action) {
    // The window as context: a deferred action dies with it.
    QTimer::singleShot(0, this, std::move(action));
}

void TfrmUpdateMain::keyPressEvent(QKeyEvent* event) {
    // OK is the default button: Enter presses it wherever the focus is,
    // unless a button that handles Enter itself holds it.
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && btnOk->isEnabled()) {
        event->accept();
        btnOk->Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfrmUpdateMain::closeEvent(QCloseEvent* event) {
    // A download running below this event stops before the program ends.
    Workflow->FormClose();
    event->accept();
    QCoreApplication::quit();
}
