// Saving and opening capture files through the real document: the bytes on
// disk, the round trip, every failure the user can meet, the names Save As
// proposes, and the prompt to save changes with its three answers.
#include "AppFixture.h"

#include "CDisplayMode.h"
#include "CLines.h"
#include "CommandIds.h"
#include "StoreLock.h"

#include <QAction>
#include <QDir>
#include <QFile>

#include <csignal>
#include <filesystem>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Answers Yes/No/Cancel prompts as told and records every text.
class AnsweringMessages : public ks::MessageService {
public:
    ks::MessageResult Show(const QString& text, ks::MessageButtons buttons) override
    {
        shown.push_back(text);
        return buttons == ks::MessageButtons::YesNoCancel ? answer : ks::MessageResult::Ok;
    }
    ks::MessageResult answer = ks::MessageResult::Cancel;
    std::vector<QString> shown;
};

std::vector<uint8_t> Stream(const CLines& lines)
{
    ByteBuffer out;
    lines.EncodeStoredStream(out);
    return std::vector<uint8_t>(out.begin(), out.end());
}

std::vector<QString> FilesIn(const std::string& folder)
{
    std::vector<QString> names;
    for (const QString& name : QDir(QString::fromStdString(folder)).entryList(QDir::Files)) names.push_back(name);
    return names;
}

} // namespace

class DocumentFiles : public AppFixture {
protected:
    void SetUp() override
    {
        Setup setup;
        setup.show = false;
        ASSERT_TRUE(StartApp(setup));
        ks::SetMessageService(&answers);
        QDir().mkpath(QString::fromStdString(dir.Path("files")));
    }
    // Characters in both directions, as a capture would leave them.
    void AddData(int count, char first = 'a')
    {
        CStoreGuard guard(Doc()->StoreLock());
        for (int i = 0; i < count; ++i)
            Doc()->Lines().AddDataChar(static_cast<uint8_t>(first + i % 26), i % 3 ? 0x20 : 0x28, Doc()->DisplayMode());
    }
    std::string File(const std::string& name) { return dir.Path("files/" + name); }

    AnsweringMessages answers;
};

TEST_F(DocumentFiles, SaveWritesHeaderAndRecordsAndOpenGivesEverythingBack)
{
    AddData(300);
    {
        CStoreGuard guard(Doc()->StoreLock());
        Doc()->DisplayMode().DataMode = 2;
        Doc()->DisplayMode().crDataTXD = 0x123456;
        Doc()->DisplayMode().Stamp = 1;
    }
    const std::vector<uint8_t> stream = Stream(Doc()->Lines());
    const Counters counters = Doc()->Lines().GetCounters();
    std::string header;
    Doc()->DisplayMode().BuildHeader(header);

    const std::string path = File("round.ksf");
    ASSERT_TRUE(Doc()->OnSaveDocument(path));
    EXPECT_TRUE(answers.shown.empty());
    // The file is exactly the header followed by the stored stream.
    std::vector<uint8_t> expected(header.begin(), header.end());
    expected.insert(expected.end(), stream.begin(), stream.end());
    EXPECT_EQ(ReadFileBytes(path), expected);
    EXPECT_EQ(FilesIn(dir.Path("files")), std::vector<QString>{QStringLiteral("round.ksf")}) << "no temporary file left";
    EXPECT_TRUE(Doc()->SaveModified()) << "nothing left to save";
    EXPECT_TRUE(answers.shown.empty());

    Doc()->OnNewDocument();
    {
        CStoreGuard guard(Doc()->StoreLock());
        Doc()->DisplayMode().DataMode = 0;
        Doc()->DisplayMode().crDataTXD = 1;
        Doc()->DisplayMode().Stamp = 0;
    }
    ASSERT_TRUE(Doc()->OnOpenDocument(path));
    EXPECT_EQ(Stream(Doc()->Lines()), stream);
    EXPECT_EQ(Doc()->Lines().GetCounters(), counters);
    EXPECT_EQ(Doc()->DisplayMode().DataMode, 2);
    EXPECT_EQ(Doc()->DisplayMode().crDataTXD, 0x123456);
    EXPECT_EQ(Doc()->DisplayMode().Stamp, 1);
    EXPECT_EQ(Doc()->PathName(), path);
}

TEST_F(DocumentFiles, WrongEndingsAndDamagedFilesGiveTheirMessages)
{
    AddData(40);
    const std::vector<uint8_t> stream = Stream(Doc()->Lines());
    const std::string good = File("good.ksf");
    ASSERT_TRUE(Doc()->OnSaveDocument(good));
    const std::vector<uint8_t> bytes = ReadFileBytes(good);

    // Another ending: refused both ways, the log stays.
    WriteFileBytes(File("notes.txt"), bytes);
    EXPECT_FALSE(Doc()->OnOpenDocument(File("notes.txt")));
    EXPECT_FALSE(Doc()->OnSaveDocument(File("old.df")));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(File("old.df"))));
    ASSERT_EQ(answers.shown.size(), 2u);
    EXPECT_EQ(answers.shown[0], QStringLiteral("File type error!"));
    EXPECT_EQ(answers.shown[1], QStringLiteral("File type error!"));
    EXPECT_EQ(Stream(Doc()->Lines()), stream);

    // Endings in capitals are the same type.
    WriteFileBytes(File("caps.KSF"), bytes);
    EXPECT_TRUE(Doc()->OnOpenDocument(File("caps.KSF")));
    EXPECT_EQ(Stream(Doc()->Lines()), stream);

    // A changed header byte, a short file: failed, said with the file's
    // name, and the capture that was open stays as it was.
    for (std::size_t at : {0u, 40u, 93u}) {
        std::vector<uint8_t> bad = bytes;
        bad[at] ^= 0x01;
        WriteFileBytes(File("bad.ksf"), bad);
        answers.shown.clear();
        EXPECT_FALSE(Doc()->OnOpenDocument(File("bad.ksf"))) << at;
        ASSERT_EQ(answers.shown.size(), 1u);
        EXPECT_EQ(answers.shown[0], QStringLiteral("Open file failed!\n") + QString::fromStdString(File("bad.ksf")));
        EXPECT_EQ(Stream(Doc()->Lines()), stream);
        EXPECT_EQ(Doc()->PathName(), File("caps.KSF"));
    }
    WriteFileBytes(File("short.ksf"), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 93));
    EXPECT_FALSE(Doc()->OnOpenDocument(File("short.ksf")));
    EXPECT_EQ(Stream(Doc()->Lines()), stream);
    WriteFileBytes(File("empty.ksf"), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 94));
    EXPECT_TRUE(Doc()->OnOpenDocument(File("empty.ksf"))) << "a header alone is an empty log";
    EXPECT_TRUE(Stream(Doc()->Lines()).empty());
}

TEST_F(DocumentFiles, AFailedSaveLeavesTheEarlierFileAsItWas)
{
    AddData(100);
    const std::string path = File("kept.ksf");
    ASSERT_TRUE(Doc()->OnSaveDocument(path));
    const std::vector<uint8_t> before = ReadFileBytes(path);
    AddData(2000, 'A');

    // The disk fills up half-way through the records: writes beyond this
    // size fail as on a full disk.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = before.size() + 200;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = Doc()->OnSaveDocument(path);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(saved);
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(answers.shown[0], QStringLiteral("Write file failed!"));
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_EQ(FilesIn(dir.Path("files")), std::vector<QString>{QStringLiteral("kept.ksf")});
    // Still unsaved: closing would ask again.
    answers.answer = ks::MessageResult::Cancel;
    EXPECT_FALSE(Doc()->SaveModified());

    // A folder that does not exist: nothing is created, and the user is told.
    answers.shown.clear();
    EXPECT_FALSE(Doc()->OnSaveDocument(dir.Path("missing/x.ksf")));
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(answers.shown[0], QStringLiteral("Write file failed!"));
}

TEST_F(DocumentFiles, SaveAsProposesANameAndTakesTheChosenOne)
{
    EXPECT_EQ(CAnalyzerDoc::ProposedSaveName("/data/old.df", QStringLiteral("old.df")), QStringLiteral("/data/old"));
    EXPECT_EQ(CAnalyzerDoc::ProposedSaveName("/data/old.DF", QStringLiteral("old.DF")), QStringLiteral("/data/old"));
    EXPECT_EQ(CAnalyzerDoc::ProposedSaveName("/data/a.ksf", QStringLiteral("a.ksf")), QStringLiteral("/data/a.ksf"));
    EXPECT_EQ(CAnalyzerDoc::ProposedSaveName({}, QStringLiteral("New log#1")), QStringLiteral("New.ksf"));
    EXPECT_EQ(CAnalyzerDoc::ProposedSaveName({}, QStringLiteral("a;b")), QStringLiteral("a.ksf"));
    EXPECT_EQ(CAnalyzerDoc::ProposedSaveName({}, QStringLiteral("Untitled")), QStringLiteral("Untitled.ksf"));

    // An old file: opened, never written; Save As offers its name without ".df".
    CDisplayMode defaults;
    std::string header;
    defaults.BuildHeader(header);
    std::string old = header.substr(0, 56) + header.substr(57, 35); // no DateTime, no check
    ASSERT_EQ(old.size(), 91u);
    WriteFileText(File("old.df"), old);
    ASSERT_TRUE(app->OpenDocumentFile(QString::fromStdString(File("old.df"))));
    answers.shown.clear();
    EXPECT_TRUE(Frame()->RunCommand(ID_FILE_SAVE));
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(answers.shown[0], QStringLiteral("File type error!"));
    EXPECT_EQ(ReadFileText(File("old.df")), old);

    QString proposed;
    QString choice = QString::fromStdString(File("new.ksf"));
    Doc()->chooseSaveFile = [&](const QString& name) {
        proposed = name;
        return choice;
    };
    EXPECT_TRUE(Frame()->RunCommand(ID_FILE_SAVE_AS));
    EXPECT_EQ(proposed, QString::fromStdString(File("old")));
    EXPECT_EQ(Doc()->PathName(), File("new.ksf"));
    EXPECT_TRUE(Frame()->windowTitle().endsWith(QStringLiteral("new.ksf")));
    EXPECT_EQ(Frame()->Action(ID_FILE_MRU_FIRST)->data().toList().value(1).toString(), choice) << "a recent file";

    // Cancelled: nothing changes.
    choice.clear();
    EXPECT_TRUE(Frame()->RunCommand(ID_FILE_SAVE_AS));
    EXPECT_EQ(Doc()->PathName(), File("new.ksf"));
    // A failed Save As removes nothing that was there.
    WriteFileText(File("other.txt"), "keep me");
    choice = QString::fromStdString(File("other.txt"));
    EXPECT_TRUE(Frame()->RunCommand(ID_FILE_SAVE_AS));
    EXPECT_EQ(ReadFileText(File("other.txt")), "keep me");
    EXPECT_EQ(Doc()->PathName(), File("new.ksf"));
}

TEST_F(DocumentFiles, ThePromptsThreeAnswers)
{
    // Nothing changed: no question.
    EXPECT_TRUE(Frame()->RunCommand(ID_FILE_NEW));
    EXPECT_TRUE(answers.shown.empty());

    QString chosen = QString::fromStdString(File("answer.ksf"));
    Doc()->chooseSaveFile = [&](const QString&) { return chosen; };

    // Cancel: New does not go on.
    AddData(10);
    const std::vector<uint8_t> stream = Stream(Doc()->Lines());
    answers.answer = ks::MessageResult::Cancel;
    Frame()->RunCommand(ID_FILE_NEW);
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(answers.shown[0], QStringLiteral("Save changes to Untitled?"));
    EXPECT_EQ(Stream(Doc()->Lines()), stream);

    // Yes, but the name is not chosen: still nothing lost.
    answers.answer = ks::MessageResult::Yes;
    chosen.clear();
    Frame()->RunCommand(ID_FILE_NEW);
    EXPECT_EQ(Stream(Doc()->Lines()), stream);

    // Yes: saved under the chosen name, then the new log.
    chosen = QString::fromStdString(File("answer.ksf"));
    Frame()->RunCommand(ID_FILE_NEW);
    EXPECT_TRUE(Stream(Doc()->Lines()).empty());
    ASSERT_TRUE(Doc()->OnOpenDocument(File("answer.ksf")));
    EXPECT_EQ(Stream(Doc()->Lines()), stream);

    // No: the changes go, the file stays as saved.
    const std::vector<uint8_t> saved = ReadFileBytes(File("answer.ksf"));
    AddData(5);
    answers.shown.clear();
    answers.answer = ks::MessageResult::No;
    Frame()->RunCommand(ID_FILE_NEW);
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(answers.shown[0], QStringLiteral("Save changes to answer.ksf?"));
    EXPECT_TRUE(Stream(Doc()->Lines()).empty());
    EXPECT_EQ(ReadFileBytes(File("answer.ksf")), saved);

    // Opening another file asks first as well.
    AddData(5);
    answers.shown.clear();
    answers.answer = ks::MessageResult::Cancel;
    EXPECT_FALSE(app->OpenDocumentFile(QString::fromStdString(File("answer.ksf"))));
    EXPECT_EQ(answers.shown.size(), 1u);
    EXPECT_FALSE(Stream(Doc()->Lines()).empty()) << "the log stays";
}

TEST_F(DocumentFiles, ADroppedOrRecentFileOpensAfterThePromptAndClosingCanBeCancelled)
{
    AddData(30);
    const std::vector<uint8_t> stream = Stream(Doc()->Lines());
    ASSERT_TRUE(Doc()->OnSaveDocument(File("dropped.ksf")));
    Doc()->OnNewDocument();
    AddData(3, 'x');
    Frame()->show();

    // What a drop on the window and a recent-file entry call.
    auto drop = [this] { Frame()->openFile(QString::fromStdString(File("dropped.ksf"))); };
    answers.answer = ks::MessageResult::Cancel;
    drop();
    EXPECT_EQ(answers.shown.size(), 1u);
    EXPECT_TRUE(Doc()->PathName().empty()) << "Cancel keeps the unsaved log";
    answers.answer = ks::MessageResult::No;
    drop();
    EXPECT_EQ(Doc()->PathName(), File("dropped.ksf"));
    EXPECT_EQ(Stream(Doc()->Lines()), stream);

    // Closing with unsaved changes: Cancel keeps the window open.
    AddData(3, 'x');
    answers.shown.clear();
    answers.answer = ks::MessageResult::Cancel;
    EXPECT_FALSE(Frame()->close());
    EXPECT_TRUE(Frame()->isVisible());
    ASSERT_EQ(answers.shown.size(), 1u);
    EXPECT_EQ(answers.shown[0], QStringLiteral("Save changes to dropped.ksf?"));
    answers.answer = ks::MessageResult::No;
    EXPECT_TRUE(Frame()->close());
}

// Names as a dialog, a drop or the recent-file list hand them over: text, in
// which bytes that are not UTF-8 have become replacement characters.
TEST_F(DocumentFiles, NamesThatAreNotUtf8ReachTheDiskAsTheyAre)
{
    const std::string folder = File("d\xe9");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const std::string capture = folder + "/caf\xe9.ksf";
    AddData(30);
    const std::vector<uint8_t> stream = Stream(Doc()->Lines());
    ASSERT_TRUE(Doc()->OnSaveDocument(capture));
    Doc()->OnNewDocument();

    ASSERT_TRUE(app->OpenDocumentFile(QFile::decodeName(capture.c_str())));
    EXPECT_EQ(Doc()->PathName(), capture);
    EXPECT_EQ(Stream(Doc()->Lines()), stream);

    // Save As into that folder, and through a link whose name is not UTF-8.
    const std::string copy = folder + "/copy.ksf";
    Doc()->chooseSaveFile = [&](const QString&) { return QFile::decodeName(copy.c_str()); };
    EXPECT_TRUE(Frame()->RunCommand(ID_FILE_SAVE_AS));
    EXPECT_EQ(Doc()->PathName(), copy);
    EXPECT_TRUE(std::filesystem::is_regular_file(copy));
    const std::string link = folder + "/l\xefnk.ksf";
    ASSERT_EQ(::symlink("caf\xe9.ksf", link.c_str()), 0);
    AddData(5, 'x');
    Doc()->chooseSaveFile = [&](const QString&) { return QFile::decodeName(link.c_str()); };
    EXPECT_TRUE(Frame()->RunCommand(ID_FILE_SAVE_AS));
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << "the link stays a link";
    EXPECT_GT(std::filesystem::file_size(capture), std::filesystem::file_size(copy)) << "the file it names is replaced";
    const auto entries = std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 3) << "nothing else was made";
}
