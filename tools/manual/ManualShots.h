#pragma once
// The manual's pictures, drawn by the program itself: the real application,
// frame, view, dialogs and print job, offscreen, with a sample capture. Each
// picture is one row of a table: a name, the command a user would give, and
// what to do around it. A dialog of a new feature needs one row: the modal
// or modeless window its command opens is found and photographed by itself.
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class CAnalyzerApp;
class QWidget;

class ManualShots {
public:
    ManualShots(QString outputDir, QString sampleFile);
    ~ManualShots();

    // Starts the program and makes every picture; false on the first failure.
    bool Run();
    QStringList Written() const { return written; }
    QString Error() const { return error; }

private:
    struct Shot {
        QString name;                     // file name without ".png"
        int command = 0;                  // the command that opens a window, or 0
        std::function<void()> before;     // settings for the picture, or none
        std::function<QImage()> picture;  // the picture itself when no window is opened
        QSize windowSize;                 // resize the opened window first (empty: as it comes)
    };

    std::vector<Shot> Shots();
    bool Take(const Shot& shot);
    // Runs `command` and photographs the window it opens, modal or not.
    QImage WindowOf(int command, QSize size);
    QImage ViewBands(int bands);
    QImage PrintedPage();
    QImage Splash();
    void Fill(const std::function<void()>& append);
    void Command(int id);
    bool Save(const QString& name, const QImage& image);

    QString outputDir;
    QString sampleFile;
    std::unique_ptr<CAnalyzerApp> app;
    QStringList written;
    QString error;
};
