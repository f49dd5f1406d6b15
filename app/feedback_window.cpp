// The feedback and donation window: a note on donations, two donation codes and the feedback code.
#include "feedback_window.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <QFontInfo>
#include <QPaintEngine>
#include <QPainter>
#include <QScreen>
#include <QTextLayout>
#include <qdrawutil.h>

#include "program_resources.h"

namespace {

const char* const kTitle = "联系客服<捐助系统>";
const char* const kDonationTitle = "捐助中心";
const char* const kFeedbackTitle = "bug反馈";
const char* const kDonationText = "本软件完全免费，欢迎打赏捐助，您的支持是我们最大的动力\r\n\r\n"
                                  "提示：捐助是自愿的，表示对本软件的支持，并没有提供额外的功能";

// On X11 the window manager adds a 3-pixel frame and a 23-pixel caption to the client area.
constexpr QSize kOuterSize(437, 238);
constexpr QSize kClientSize(431, 209);

const QColor kGroupTitleColour(0, 0, 255);
const QColor kDonationTextColour(255, 0, 0);

} // namespace

EtchedGroupBox::EtchedGroupBox(const QString& title, const QColor& titleColour, QWidget* parent)
    : QGroupBox(title, parent), m_titleColour(titleColour)
{
    setAlignment(Qt::AlignHCenter);
}

void EtchedGroupBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int titleWidth = metrics.horizontalAdvance(title()) + metrics.averageCharWidth();
    const QRect titleRect((width() - titleWidth) / 2, 0, titleWidth, metrics.height());
    const QRect frame = rect().adjusted(0, metrics.height() / 2, 0, 0);

    painter.save();
    painter.setClipRegion(QRegion(rect()).subtracted(titleRect));
    qDrawShadeRect(&painter, frame, palette(), true, 1, 0);
    painter.restore();

    painter.setPen(isEnabled() ? m_titleColour : palette().color(QPalette::Disabled, QPalette::WindowText));
    painter.drawText(titleRect, Qt::AlignCenter | Qt::TextShowMnemonic, title());
}

ReliefLabel::ReliefLabel(const QString& text, const QColor& colour, QWidget* parent)
    : QWidget(parent), m_text(text), m_colour(colour)
{
}

void ReliefLabel::paintEvent(QPaintEvent*)
{
    // The note keeps its "\r\n" line ends as written; the paragraphs are split at the "\n" alone.
    QString shown = m_text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));

    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WordWrap);
    std::vector<std::unique_ptr<QTextLayout>> paragraphs;
    int lineCount = 0;
    for (const QString& paragraph : shown.split(QLatin1Char('\n'))) {
        auto layout = std::make_unique<QTextLayout>(paragraph, font());
        layout->setTextOption(option);
        layout->beginLayout();
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLineWidth(width());
            ++lineCount;
        }
        layout->endLayout();
        lineCount += layout->lineCount() == 0 ? 1 : 0;
        paragraphs.push_back(std::move(layout));
    }

    // Lines move closer together, down to the font's own pixel height, where the text would otherwise
    // run past the label's bottom: the note was laid out for a font with less leading.
    const QFontMetrics metrics = fontMetrics();
    const int fitting = lineCount > 0 ? (height() - 1) / lineCount : metrics.lineSpacing();
    const int natural = metrics.lineSpacing();
    const int pitch =
        qBound(std::min({metrics.height(), QFontInfo(font()).pixelSize(), natural}), fitting, natural);

    QPainter painter(this);
    int y = 0;
    for (const auto& layout : paragraphs) {
        for (int i = 0; i < layout->lineCount(); ++i) {
            QTextLine line = layout->lineAt(i);
            const QPointF origin(0, y - line.y());
            painter.setPen(Qt::white);
            line.draw(&painter, origin);
            painter.setPen(m_colour);
            line.draw(&painter, origin + QPointF(1, 1));
            y += pitch;
        }
        if (layout->lineCount() == 0)
            y += pitch;
    }
}

PictureBox::PictureBox(const QImage& picture, QWidget* parent) : QWidget(parent), m_picture(picture)
{
}

QSize PictureBox::fittedSize(QSize picture, QSize box)
{
    if (picture.isEmpty())
        return QSize();
    if (picture.width() <= box.width() && picture.height() <= box.height())
        return picture;
    // The smaller of the two ratios, in exact integer arithmetic, then truncated.
    const qint64 pw = picture.width();
    const qint64 ph = picture.height();
    const qint64 bw = box.width();
    const qint64 bh = box.height();
    if (bw * ph <= bh * pw)
        return QSize(int(bw), int(ph * bw / pw));
    return QSize(int(pw * bh / ph), int(bh));
}

QRect PictureBox::pictureRect() const
{
    const QSize shown = fittedSize(m_picture.size(), size());
    return QRect(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
}

void PictureBox::paintEvent(QPaintEvent*)
{
    const QRect target = pictureRect();
    if (target.isEmpty())
        return;
    QPainter painter(this);
    // Scaled from the source for the device's own pixels, so that a high-density screen shows it sharp;
    // the engine's device is the one really painted on, also when the box is rendered elsewhere.
    const qreal ratio = painter.paintEngine()->paintDevice()->devicePixelRatioF();
    const QSize devicePixels = (QSizeF(target.size()) * ratio).toSize();
    if (m_scaled.size() != devicePixels) {
        m_scaled = QPixmap::fromImage(
            devicePixels == m_picture.size()
                ? m_picture
                : m_picture.scaled(devicePixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    m_scaled.setDevicePixelRatio(ratio);
    painter.drawPixmap(target.topLeft(), m_scaled);
}

FeedbackWindow::FeedbackWindow(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8(kTitle));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(kClientSize);

    m_donationGroup = new EtchedGroupBox(QString::fromUtf8(kDonationTitle), kGroupTitleColour, this);
    m_donationText = new ReliefLabel(QString::fromUtf8(kDonationText), kDonationTextColour, m_donationGroup);
    m_donationPicture1 =
        new PictureBox(QImage(QString::fromLatin1(programResources::kDonationPicture1)), m_donationGroup);
    m_donationPicture2 =
        new PictureBox(QImage(QString::fromLatin1(programResources::kDonationPicture2)), m_donationGroup);
    m_feedbackGroup = new EtchedGroupBox(QString::fromUtf8(kFeedbackTitle), kGroupTitleColour, this);
    m_feedbackPicture =
        new PictureBox(QImage(QString::fromLatin1(programResources::kFeedbackPicture)), m_feedbackGroup);

    const struct
    {
        QWidget* control;
        const char* name;
        QRect geometry; // in the window, or in the group box that holds the control
    } layout[] = {
        {m_donationGroup, "分组框1", {0, 0, 272, 208}},
        {m_donationText, "标签1", {0, 16, 256, 64}},
        {m_donationPicture1, "图片框1", {-8, 88, 144, 112}},
        {m_donationPicture2, "图片框2", {144, 88, 120, 112}},
        {m_feedbackGroup, "分组框2", {272, 0, 160, 208}},
        {m_feedbackPicture, "图片框3", {0, 16, 152, 184}},
    };
    for (const auto& entry : layout) {
        entry.control->setObjectName(QString::fromUtf8(entry.name));
        entry.control->setGeometry(entry.geometry);
        entry.control->setFocusPolicy(Qt::NoFocus);
    }

    const QRect screen = this->screen()->geometry();
    move(screen.left() + (screen.width() - kOuterSize.width()) / 2,
         screen.top() + (screen.height() - kOuterSize.height()) / 2);
}
