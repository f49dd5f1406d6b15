// The feedback and donation window, and the drawn controls it is made of.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QImage>
#include <QPixmap>

// A group box with an etched frame and its title centred in the top edge, in the title colour.
class EtchedGroupBox : public QGroupBox
{
    Q_OBJECT

public:
    EtchedGroupBox(const QString& title, const QColor& titleColour, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_titleColour;
};

// Text in relief: a white copy at the text's place, the text itself one pixel right and down over it.
class ReliefLabel : public QWidget
{
    Q_OBJECT

public:
    ReliefLabel(const QString& text, const QColor& colour, QWidget* parent = nullptr);

    QString text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_colour;
};

// A picture centred in the box, shrunk to fit where it is larger, never stretched.
class PictureBox : public QWidget
{
    Q_OBJECT

public:
    explicit PictureBox(const QImage& picture, QWidget* parent = nullptr);

    // Where the picture is drawn, in the box's own coordinates.
    QRect pictureRect() const;
    static QSize fittedSize(QSize picture, QSize box);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
    QPixmap m_scaled;
};

class FeedbackWindow : public QDialog
{
    Q_OBJECT

public:
    explicit FeedbackWindow(QWidget* parent = nullptr);

private:
    EtchedGroupBox* m_donationGroup = nullptr;
    ReliefLabel* m_donationText = nullptr;
    PictureBox* m_donationPicture1 = nullptr;
    PictureBox* m_donationPicture2 = nullptr;
    EtchedGroupBox* m_feedbackGroup = nullptr;
    PictureBox* m_feedbackPicture = nullptr;
};
