#include "interface/About.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextCursor>

#include <functional>
#include <memory>

#include "interface/Main.h"
#include "interface/Pictures.h"
#include "interface/ProductPicture.h"
#include "interface/VersionInfo.h"
#include "interface/Fonts.h"

namespace {

// A label that reports a click, as the two links of the box do.
class LinkLabel final : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
            OnClick)
            OnClick();
        QLabel::mouseReleaseEvent(event);
    }
};

template <class W> W* Placed(W* widget, const char* name, int x, int y) {
    widget->setObjectName(name);
    widget->move(x, y);
    widget->adjustSize();
    return widget;
}

LinkLabel* Link(QWidget* parent, const char* name, const char* text, int x, int y) {
    auto* label = new LinkLabel(text, parent);
    QFont font = fonts::DesignFont(fonts::Face::Tahoma, 13);
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, platform::ToQColor(platform::clBlue));
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
    return Placed(label, name, x, y);
}

} // namespace

TAboutBoxFrm::TAboutBoxFrm(TMainFrm& owner) : QDialog(&owner), main_(owner) {
    setObjectName("AboutBoxFrm");
    CreateControls();
    FormCreate();
}

TAboutBoxFrm::~TAboutBoxFrm() = default;

void TAboutBoxFrm::CreateControls() {
    setWindowTitle("About");
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFont(fonts::DesignFont(fonts::Face::Tahoma, 11));
    setFixedSize(506, 295);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(24, 16, 457, 225);
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken); // lowered outside, raised inside

    ProgramIcon = Placed(new QLabel(Panel1), "ProgramIcon", 16, 16);
    ProductName = Placed(new QLabel(Panel1), "ProductName", 176, 24);
    ProductName->setFont(fonts::DesignFont(fonts::Face::Tahoma, 16, true));
    Version = Placed(new QLabel(Panel1), "Version", 192, 48);
    LabelMaker = Placed(new QLabel(Panel1), "LabelMaker", 192, 64);

    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setObjectName("Memo1");
    Memo1->setGeometry(192, 88, 249, 57);
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->viewport()->setCursor(Qt::ArrowCursor);
    Memo1->document()->setDocumentMargin(0);
    QPalette memoColours = Memo1->palette();
    memoColours.setColor(QPalette::Base, memoColours.color(QPalette::Button));
    Memo1->setPalette(memoColours);
    for (const char* line : about::ContactLines) Memo1->appendPlainText(line);

    Label1 = Placed(new QLabel("E-mail : ", Panel1), "Label1", 192, 159);
    auto* mail = Link(Panel1, "Label3", about::SupportMail, 248, 156);
    mail->OnClick = [this] { main_.RunHandler([this] { Label3Click(); }); };
    Label3 = mail;
    Label2 = Placed(new QLabel("Web :", Panel1), "Label2", 192, 183);
    auto* web = Link(Panel1, "Label4", about::WebAddress, 248, 180);
    web->OnClick = [this] { main_.RunHandler([this] { Label4Click(); }); };
    Label4 = web;

    Image1 = new QLabel(Panel1);
    Image1->setObjectName("Image1");
    Image1->setGeometry(408, 16, 32, 32);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(408, 256, 75, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBoxFrm::FormCreate() {
    Version->setText(QString::fromStdString(VersionText(ProgramVersion().Fixed)));
    Version->adjustSize();
    ProductName->setText(QGuiApplication::applicationDisplayName());
    ProductName->adjustSize();
    LabelMaker->setText(about::MakerLine);
    LabelMaker->adjustSize();

    // Qt's PNG reader inflates the picture through the system zlib.
    const auto bytes = ProductPictureBytes();
    QPixmap picture;
    picture.loadFromData(bytes.data(), static_cast<uint>(bytes.size()), "PNG");
    ProgramIcon->setPixmap(picture);
    ProgramIcon->adjustSize();

    const QIcon icon = main_.windowIcon();
    Image1->setPixmap(icon.isNull() ? AnimationFrame(0) : icon.pixmap(32, 32));

    for (const std::string& comments : VersionComments(ProgramVersion()))
        Memo1->appendPlainText(QString::fromStdString(comments));
    // Appending scrolls to the last line; the box reads from the first.
    Memo1->moveCursor(QTextCursor::Start);
    Memo1->ensureCursorVisible();
}

void TAboutBoxFrm::Label3Click() {
    main_.Services().process.OpenLink(std::string("mailto:") + about::SupportMail);
}

void TAboutBoxFrm::Label4Click() {
    main_.Services().process.OpenLink(Label4->text().toStdString());
}

void TMainFrm::AboutButtonClick() {
    // The box lives while it is shown; AboutBox tells the timer where to animate the icon.
    auto box = std::make_unique<TAboutBoxFrm>(*this);
    AboutBox = box.get();
    struct Clear {
        TAboutBoxFrm*& box;
        ~Clear() { box = nullptr; }
    } clear{AboutBox};
    Services().dialogs.ShowModal(*box);
}
