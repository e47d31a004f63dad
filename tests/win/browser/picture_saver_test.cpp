// Saving pictures under Wine: only complete 2xx downloads are saved, names are numbered and reserved, nothing
// is overwritten and no partial file is left.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/browser/internet_mark.h"
#include "app/browser/picture_saver.h"
#include "app/browser/url_download.h"
#include "runtime/library_rules.h"
#include "tests/win/child_process.h"
#include "tests/win/support/files.h"
#include "tests/win/support/http_test_server.h"

namespace app {
namespace {

using testing_support::HttpTestServer;
using testing_support::ReceivedRequest;
using testing_support::Reply;

class PictureSaving : public ::testing::Test {
protected:
    void SetUp() override { folder_ = testing_support::NewTestFolder("pexo-saver"); }
    void TearDown() override {
        for (const std::string& name : Files()) DeleteFileA((folder_ + name).c_str());
        RemoveDirectoryA((folder_ + "x.jpg").c_str());
        RemoveDirectoryA(folder_.c_str());
    }
    std::set<std::string> Files() { return testing_support::FilesIn(folder_); }
    std::string Read(const std::string& name) { return testing_support::ReadWhole(folder_ + name); }
    SaveOutcome Save(const std::string& url) { return SavePicture(Text::Copy(url), Text::Copy(folder_)); }

    std::string folder_;
};

Reply Pictures(const ReceivedRequest& r) {
    Reply reply;
    std::string path = r.requestLine.substr(4, r.requestLine.rfind(' ') - 4);
    if (path.find("missing") != std::string::npos) {
        reply.status = 404;
        reply.body = "<html>not found</html>";
    } else if (path.find("broken") != std::string::npos) {
        reply.status = 500;
        reply.body = "error";
    } else if (path.find("short") != std::string::npos) {
        reply.body = std::string(20000, 'j');
        reply.cutShortBy = 5000;
    } else {
        reply.body = "JPEG bytes of " + path;
    }
    return reply;
}

TEST_F(PictureSaving, SameNameThreeTimesIsNumberedAndNothingIsOverwritten) {
    HttpTestServer server(&Pictures);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(Save(server.Url("/pic/x.jpg")).saved);
    EXPECT_EQ(Files(), (std::set<std::string>{"x.jpg", "x(1).jpg", "x(2).jpg"}));
    EXPECT_EQ(Read("x(2).jpg"), "JPEG bytes of /pic/x.jpg");
}

// A picture that keeps trickling in past its deadline (a base time and its length at the slowest rate allowed),
// and one larger than a picture may be, count as failed and leave no file; the same picture within the
// limits is saved.
TEST_F(PictureSaving, TricklingAndOversizedPicturesFailWithinTheirLimits) {
    HttpTestServer server([](const ReceivedRequest& r) {
        Reply reply;
        reply.body = std::string(40000, 'p');  // 40 KB in 1 KB pieces, 100 ms apart: about 4 s
        if (r.requestLine.find("trickle") != std::string::npos) {
            reply.pieceBytes = 1000;
            reply.pieceDelayMs = 100;
        }
        return reply;
    });
    PictureLimits limits;
    limits.baseMs = 1000;
    limits.bytesPerSecond = 40000;  // allows 1 s plus 1 s for the length
    EXPECT_FALSE(SavePicture(Text::Copy(server.Url("/pic/trickle.jpg")), Text::Copy(folder_), limits).saved);
    limits.baseMs = 10000;  // 11 s in all: the same trickle fits
    EXPECT_TRUE(SavePicture(Text::Copy(server.Url("/pic/trickle.jpg")), Text::Copy(folder_), limits).saved);
    limits.maxBytes = 30000;
    EXPECT_FALSE(SavePicture(Text::Copy(server.Url("/pic/whole.jpg")), Text::Copy(folder_), limits).saved);
    for (int i = 0; i < 50 && Files().size() > 1; ++i) Sleep(100);  // a download given up goes with its thread
    EXPECT_EQ(Files(), std::set<std::string>{"trickle.jpg"});
}

// Downloads send the cookies the platform's store holds for each picture's address, as the store would add
// them (a cookie scoped to another path stays away), and the cookies an answer sets reach the store and the
// next download in the stage.
TEST_F(PictureSaving, CookiesOfTheStoreGoWithEachPictureAndComeBackFromIt) {
    HttpTestServer server([](const ReceivedRequest& r) {
        Reply reply;
        reply.body = "JPEG bytes";
        if (r.requestLine.find("first") != std::string::npos) reply.extraHeaders = "Set-Cookie: given=1; path=/\r\n";
        return reply;
    });
    std::string base = server.Url("/");
    ASSERT_TRUE(InternetSetCookieA(base.c_str(), nullptr, "album=7; path=/pic/"));
    ASSERT_TRUE(InternetSetCookieA(base.c_str(), nullptr, "elsewhere=1; path=/other/"));
    BeginDownloadStage();
    ASSERT_TRUE(Save(server.Url("/pic/first.jpg")).saved);
    ASSERT_TRUE(Save(server.Url("/pic/second.jpg")).saved);
    std::vector<ReceivedRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].headers.find("Cookie: album=7\r\n"), std::string::npos) << requests[0].headers;
    EXPECT_EQ(requests[0].headers.find("elsewhere"), std::string::npos) << requests[0].headers;
    EXPECT_NE(requests[1].headers.find("given=1"), std::string::npos) << requests[1].headers;
    EXPECT_NE(requests[1].headers.find("album=7"), std::string::npos) << requests[1].headers;
    char cookies[512] = "";
    DWORD size = sizeof cookies;
    ASSERT_TRUE(InternetGetCookieA(base.c_str(), nullptr, cookies, &size));
    EXPECT_NE(std::string(cookies).find("given=1"), std::string::npos) << cookies;
    for (const char* gone : {"album=; path=/pic/", "elsewhere=; path=/other/", "given=; path=/"})
        InternetSetCookieA(base.c_str(), nullptr,
                           (gone + std::string("; expires=Thu, 01-Jan-1970 00:00:00 GMT")).c_str());
}

// A saved picture carries the internet zone mark where the volume keeps named streams; elsewhere (Wine's
// volumes among them) the mark must not turn into a second file beside the picture.
TEST_F(PictureSaving, TheInternetMarkGoesIntoAStreamOrNowhere) {
    HttpTestServer server(&Pictures);
    std::string url = server.Url("/pic/x.jpg");
    ASSERT_TRUE(Save(url).saved);
    char root[MAX_PATH] = "";
    DWORD flags = 0;
    ASSERT_TRUE(GetVolumePathNameA(folder_.c_str(), root, MAX_PATH));
    ASSERT_TRUE(GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0));
    if (flags & FILE_NAMED_STREAMS) {
        EXPECT_EQ(Read("x.jpg:Zone.Identifier"), ZoneIdentifierText(url));
    } else {
        EXPECT_EQ(MarkFromInternet(folder_ + "x.jpg", url), InternetMark::kNotKept);
    }
    EXPECT_EQ(Files(), std::set<std::string>{"x.jpg"});
    EXPECT_EQ(Read("x.jpg"), "JPEG bytes of /pic/x.jpg");
}

// The platform keeps a copy of every downloaded file in its URL cache; a download of thousands of pictures
// A GBK path in its long form, which the file calls take past MAX_PATH.
std::wstring LongForm(const std::string& path) {
    wchar_t wide[1024] = L"";
    int length = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, path.c_str(), -1, wide, 1024);
    return length > 0 ? L"\\\\?\\" + std::wstring(wide) : std::wstring();
}

std::string ReadLong(const std::string& path) {
    HANDLE file =
        CreateFileW(LongForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(cannot open)";
    std::string bytes(4096, '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

// Saving onto a volume that keeps named streams. Wine's volumes keep none and take "name:Zone.Identifier" for a
// name of its own, so their answer is replaced and the mark read back under that name; on Windows it is the
// picture's stream.
class PictureSavingWithStreams : public PictureSaving {
protected:
    void SetUp() override {
        PictureSaving::SetUp();
        volumeKeepsStreams = [](const std::string&) { return true; };
    }
    void TearDown() override {
        volumeKeepsStreams = asked_;
        WIN32_FIND_DATAW entry;
        HANDLE search = FindFirstFileW((LongForm(folder_) + L"*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::wstring path = LongForm(folder_) + entry.cFileName;
                if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileW(path.c_str());
                else if (entry.cFileName[0] != L'.')
                    RemoveDirectoryW(path.c_str());
            } while (FindNextFileW(search, &entry));
            FindClose(search);
        }
        PictureSaving::TearDown();
    }
    const NamedStreamsQuery asked_ = volumeKeepsStreams;
};

// A name cut to fill the whole path (259 bytes) leaves the stream's name past MAX_PATH: the mark is written all
// the same, through the path's long form, GBK names included.
TEST_F(PictureSavingWithStreams, PicturesWhoseNamesFillThePathTakeTheMark) {
    HttpTestServer server(&Pictures);
    // Wine keeps a name as UTF-8 within Linux's 255 bytes (three a character here, the stream a name of its own).
    std::string chinese;
    for (int i = 0; i < 15; ++i) chinese += "风景";
    for (const std::string& name :
         {std::string(300, 'L') + ".jpg", chinese + std::string(300, 'L') + ".jpg", std::string("x.jpg")}) {
        std::string url = server.Url("/pic/" + name);
        SaveOutcome s = Save(url);
        ASSERT_TRUE(s.saved) << name;
        if (name.size() > 255) {
            EXPECT_GE(s.path.str().size(), 258u) << "cut to fill the path";
        }
        EXPECT_EQ(ReadLong(s.path.str() + ":Zone.Identifier"), ZoneIdentifierText(url)) << s.path.str();
        EXPECT_EQ(ReadLong(s.path.str()), "JPEG bytes of /pic/" + name);
    }
}

// Where the volume keeps the mark, a picture that cannot take it is not saved and leaves nothing, and its name is
// free for the next one. Here a directory holds the stream's name (Wine's volumes allow it; Windows' do not).
TEST_F(PictureSavingWithStreams, APictureThatCannotTakeTheMarkIsNotSaved) {
    HttpTestServer server(&Pictures);
    std::wstring stream = LongForm(folder_ + "x.jpg:Zone.Identifier");
    if (!CreateDirectoryW(stream.c_str(), nullptr)) GTEST_SKIP() << "the volume keeps real streams";
    std::string url = server.Url("/pic/x.jpg");
    EXPECT_FALSE(Save(url).saved);
    EXPECT_EQ(Files(), std::set<std::string>{});
    ASSERT_TRUE(RemoveDirectoryW(stream.c_str()));
    SaveOutcome again = Save(url);
    ASSERT_TRUE(again.saved);
    EXPECT_EQ(again.path.str(), folder_ + "x.jpg");
    EXPECT_EQ(ReadLong(folder_ + "x.jpg:Zone.Identifier"), ZoneIdentifierText(url));
}

// would double their disk use and, under Wine, slow every later request that consults the cache.
TEST_F(PictureSaving, NoCopyStaysInTheUrlCache) {
    HttpTestServer server(&Pictures);
    std::string url = server.Url("/pic/cached.jpg");
    ASSERT_TRUE(Save(url).saved);
    EXPECT_EQ(Read("cached.jpg"), "JPEG bytes of /pic/cached.jpg");
    DWORD size = 0;
    EXPECT_FALSE(GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND)) << "the picture is still in the URL cache";
}

TEST_F(PictureSaving, ASilentServerIsLeftBehindAndLeavesNoFile) {
    {
        HttpTestServer server([](const ReceivedRequest& r) {
            Reply reply;
            reply.neverAnswer = r.requestLine.find("silent") != std::string::npos;
            reply.body = "JPEG";
            return reply;
        });
        ULONGLONG start = GetTickCount64();
        EXPECT_FALSE(
            SavePicture(Text::Copy(server.Url("/pic/silent.jpg")), Text::Copy(folder_), PictureLimits{1500}).saved);
        double seconds = double(GetTickCount64() - start) / 1000;
        EXPECT_GE(seconds, 1.4);
        EXPECT_LT(seconds, 5.0);
        // No picture name is left; the temporary file stays only while the platform may still write to it.
        std::set<std::string> left = Files();
        EXPECT_LE(left.size(), 1u);
        for (const std::string& name : left)
            EXPECT_TRUE(name.size() == 9 && name[0] == '~' && name.substr(5) == ".tmp") << name;
        // The next picture gets its own name and file meanwhile.
        EXPECT_TRUE(Save(server.Url("/pic/other.jpg")).saved);
        EXPECT_EQ(Read("other.jpg"), "JPEG");
    }
    // The server is gone, the left-behind download ends, and its temporary file goes with it.
    for (int i = 0; i < 50 && Files().size() > 1; ++i) Sleep(100);
    EXPECT_EQ(Files(), std::set<std::string>{"other.jpg"});
}

// A program killed in the middle of a download: the picture was being written under its own name, and the
// system's closing of the killed program's files removes it; nothing is left in the folder.
CHILD_SCENARIO("save-a-picture") {
    const char* url = std::getenv("PEXO_TEST_PICTURE_URL");
    const char* folder = std::getenv("PEXO_TEST_PICTURE_FOLDER");
    if (url && folder) std::printf("saved %d\n", int(SavePicture(Text::Copy(url), Text::Copy(folder)).saved));
}

TEST_F(PictureSaving, AProgramKilledMidDownloadLeavesNoFile) {
    HttpTestServer server([](const ReceivedRequest&) {
        Reply reply;
        reply.body = std::string(60000, 'k');  // 6 KB a second: ten seconds in all
        reply.pieceBytes = 6000;
        reply.pieceDelayMs = 1000;
        return reply;
    });
    SetEnvironmentVariableA("PEXO_TEST_PICTURE_URL", server.Url("/pic/killed.jpg").c_str());
    SetEnvironmentVariableA("PEXO_TEST_PICTURE_FOLDER", folder_.c_str());
    std::atomic<bool> ended{false};
    rt::ChildResult child;
    std::thread killer([&] {
        child = rt::RunChild("save-a-picture", false, 4000);  // ended by force after 4 s
        ended = true;
    });
    // The picture is on its way, under its own name.
    bool seen = false;
    for (int i = 0; i < 60 && !ended && !seen; ++i, Sleep(50)) seen = Files() == std::set<std::string>{"killed.jpg"};
    killer.join();
    SetEnvironmentVariableA("PEXO_TEST_PICTURE_URL", nullptr);
    SetEnvironmentVariableA("PEXO_TEST_PICTURE_FOLDER", nullptr);
    EXPECT_TRUE(seen);
    EXPECT_EQ(child.output.find("saved"), std::string::npos) << child.output;
    for (int i = 0; i < 50 && !Files().empty(); ++i) Sleep(100);
    EXPECT_TRUE(Files().empty()) << *Files().begin();
}

// Redirects of every kind a server uses, to another path and to another port, still bring the picture, saved
// under the name of the listed address; a redirect loop fails the picture after a few hops.
TEST_F(PictureSaving, RedirectsArriveAndLoopsFail) {
    HttpTestServer other([](const ReceivedRequest& r) {
        Reply reply;
        reply.body = "JPEG from the other port, " + r.requestLine;
        return reply;
    });
    std::atomic<int> loops{0};
    HttpTestServer server([&](const ReceivedRequest& r) {
        Reply reply;
        std::string path = r.requestLine.substr(4, r.requestLine.rfind(' ') - 4);
        if (path.rfind("/moved/", 0) == 0) {
            reply.body = "JPEG moved to " + path;
        } else if (path.rfind("/loop", 0) == 0) {
            ++loops;
            reply.status = 302;
            reply.extraHeaders = "Location: " + path + "\r\n";
        } else {
            reply.status = std::stoi(path.substr(1, 3));  // /301/a.jpg
            bool elsewhere = path.find("other") != std::string::npos;
            reply.extraHeaders =
                "Location: " + (elsewhere ? other.Url("/pictures" + path.substr(4)) : "/moved" + path.substr(4)) +
                "\r\n";
            reply.body = "<html>moved</html>";
        }
        return reply;
    });
    for (const char* code : {"301", "302", "303", "307"}) {
        std::string path = std::string("/") + code + "/a" + code + ".jpg";
        ASSERT_TRUE(Save(server.Url(path)).saved) << code;
        EXPECT_EQ(Read(std::string("a") + code + ".jpg"), "JPEG moved to /moved/a" + std::string(code) + ".jpg");
        path = std::string("/") + code + "/other" + code + ".jpg";
        ASSERT_TRUE(Save(server.Url(path)).saved) << code;
        EXPECT_EQ(Read(std::string("other") + code + ".jpg"),
                  "JPEG from the other port, GET /pictures/other" + std::string(code) + ".jpg HTTP/1.1");
    }
    EXPECT_FALSE(Save(server.Url("/loop/x.jpg")).saved);
    EXPECT_EQ(loops.load(), rt::kMaxRedirects + 1);
    EXPECT_EQ(Files().size(), 8u);
}

TEST_F(PictureSaving, ErrorStatusesAndCutBodiesLeaveNoFile) {
    HttpTestServer server(&Pictures);
    EXPECT_FALSE(Save(server.Url("/pic/missing.jpg")).saved);
    EXPECT_FALSE(Save(server.Url("/pic/broken.jpg")).saved);
    EXPECT_FALSE(Save(server.Url("/pic/short.jpg")).saved);
    EXPECT_FALSE(Save("http://127.0.0.1:1/pic/unreachable.jpg").saved);
    EXPECT_TRUE(Files().empty()) << *Files().begin();
}

TEST_F(PictureSaving, OnlyWebAddressesAreDownloaded) {
    // An ftp: address to a server that accepts and never says a word would wait for its greeting for good; the
    // save runs on a thread of its own so that such a wait fails the test instead of stopping it.
    HttpTestServer silent([](const ReceivedRequest&) {
        Reply reply;
        reply.neverAnswer = true;
        return reply;
    });
    std::string ftp = "ftp" + silent.Url("/pic/f.jpg").substr(4);
    // The detached thread keeps what it shares alive should it outlast the test.
    struct Shared {
        HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::atomic<bool> saved{true};
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, ftp, folder = folder_] {
        shared->saved = SavePicture(Text::Copy(ftp), Text::Copy(folder)).saved;
        SetEvent(shared->done);
    }).detach();
    ASSERT_EQ(WaitForSingleObject(shared->done, 10000), WAIT_OBJECT_0) << "still waiting on " << ftp;
    EXPECT_FALSE(shared->saved);
    // A file: address, a script, a relative path, nothing.
    std::string local = folder_ + "local.jpg";
    { std::ofstream(local) << "local bytes"; }
    for (char& c : local)
        if (c == '\\') c = '/';
    for (std::string url :
         {"file:///" + local, std::string("javascript:alert(1)"), std::string("/pic/r.jpg"), std::string()})
        EXPECT_FALSE(Save(url).saved) << url;
    EXPECT_EQ(Files(), std::set<std::string>{"local.jpg"});
    // The scheme is matched in any letter case.
    HttpTestServer server(&Pictures);
    EXPECT_TRUE(Save("HTTP" + server.Url("/pic/y.jpg").substr(4)).saved);
}

TEST_F(PictureSaving, ExistingFilesAndDirectoriesKeepTheirNames) {
    HttpTestServer server(&Pictures);
    { std::ofstream(folder_ + "a.b.jpg") << "mine"; }
    CreateDirectoryA((folder_ + "x.jpg").c_str(), nullptr);
    SaveOutcome a = Save(server.Url("/pic/a.b.jpg"));
    ASSERT_TRUE(a.saved);
    EXPECT_EQ(a.path.str(), folder_ + "a(1).b.jpg");
    EXPECT_EQ(Read("a.b.jpg"), "mine");
    SaveOutcome x = Save(server.Url("/pic/x.jpg"));
    ASSERT_TRUE(x.saved);
    EXPECT_EQ(x.path.str(), folder_ + "x(1).jpg");
}

// A name another program holds open without sharing (as another instance holds the picture it downloads) is
// taken: the picture gets the next number and the held file stays as it is.
TEST_F(PictureSaving, ANameHeldOpenWithoutSharingIsPassedOver) {
    HttpTestServer server(&Pictures);
    HANDLE held = CreateFileA((folder_ + "held.jpg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    SaveOutcome s = Save(server.Url("/pic/held.jpg"));
    CloseHandle(held);
    ASSERT_TRUE(s.saved);
    EXPECT_EQ(s.path.str(), folder_ + "held(1).jpg");
    EXPECT_EQ(Read("held.jpg"), "");
}

// Windows refuses a name whose file is being deleted (another instance's reserved picture, delete-pending from its
// creation) with access denied, or a sharing violation, and no longer shows it as existing; Wine answers "exists".
// The create answers here as Windows does: such names are passed over, and a folder refusing every name ends the
// search after a bounded number of tries.
ExclusiveCreate realCreate = nullptr;

void* CreateAsWindowsWouldForPendingNames(const char* path) {
    std::string name = std::strrchr(path, '\\') + 1;
    if (name == "pending.jpg" || name.compare(0, 7, "refused") == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (name == "pending(1).jpg") {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    return realCreate(path);
}

TEST_F(PictureSaving, NamesRefusedWhileTheirFilesAreDeletedArePassedOver) {
    HttpTestServer server(&Pictures);
    realCreate = createExclusively;
    createExclusively = &CreateAsWindowsWouldForPendingNames;
    SaveOutcome pending = Save(server.Url("/pic/pending.jpg"));
    uint64_t before = FreeNamesTried();
    SaveOutcome refused = Save(server.Url("/pic/refused.jpg"));
    uint64_t tried = FreeNamesTried() - before;
    createExclusively = realCreate;
    ASSERT_TRUE(pending.saved);
    EXPECT_EQ(pending.path.str(), folder_ + "pending(2).jpg");
    EXPECT_EQ(Read("pending(2).jpg"), "JPEG bytes of /pic/pending.jpg");
    EXPECT_FALSE(refused.saved);
    EXPECT_LE(tried, 100u);
    EXPECT_EQ(Files(), std::set<std::string>{"pending(2).jpg"});
}

TEST_F(PictureSaving, UnsafeNamesAreMadeSafe) {
    HttpTestServer server(&Pictures);
    SaveOutcome s = Save(server.Url("/pic/CON.jpg?size=big"));
    ASSERT_TRUE(s.saved);
    EXPECT_EQ(s.path.str(), folder_ + "_CON.jpg");
}

// The deepest folder the platform creates (247 bytes): its temporary files and names still fit, names are cut
// to fit the whole path keeping their extension and number, and nothing is left besides the pictures.
TEST_F(PictureSaving, DeepFoldersAndLongNamesAreSavedUnderFittingNames) {
    HttpTestServer server(&Pictures);
    std::vector<std::string> levels;
    std::string deep = folder_;
    while (deep.size() < 247) {
        deep += std::string(std::min<size_t>(60, 247 - deep.size()), 'd');
        ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr)) << deep.size();
        levels.push_back(deep);
        deep += "\\";
    }
    ASSERT_EQ(deep.size(), 248u);
    std::string name = std::string(40, 'n') + ".jpg";
    SaveOutcome first = SavePicture(Text::Copy(server.Url("/pic/" + name)), Text::Copy(deep));
    SaveOutcome second = SavePicture(Text::Copy(server.Url("/pic/" + name)), Text::Copy(deep));
    std::set<std::string> files = testing_support::FilesIn(deep);
    for (const std::string& f : files) DeleteFileA((deep + f).c_str());
    for (auto level = levels.rbegin(); level != levels.rend(); ++level) RemoveDirectoryA(level->c_str());
    ASSERT_TRUE(first.saved);
    ASSERT_TRUE(second.saved);
    EXPECT_EQ(first.path.str(), deep + "nnnnnnn.jpg");
    EXPECT_EQ(second.path.str(), deep + "nnnn(1).jpg");
    EXPECT_EQ(files, (std::set<std::string>{"nnnnnnn.jpg", "nnnn(1).jpg"}));

    // A name over 255 bytes: cut, with its extension, to what the path leaves.
    SaveOutcome longName = Save(server.Url("/pic/" + std::string(300, 'L') + ".png"));
    ASSERT_TRUE(longName.saved);
    std::string cut = std::string(259 - folder_.size() - 4, 'L') + ".png";
    EXPECT_EQ(longName.path.str(), folder_ + cut);
    EXPECT_EQ(Read(cut), "JPEG bytes of /pic/" + std::string(300, 'L') + ".png");
}

// 150 pictures of one name cost about one try each, not 150²/2; a name freed meanwhile is not reused, and a
// name taken meanwhile behind the search's back (another instance) is skipped, never overwritten.
TEST_F(PictureSaving, ManyPicturesOfOneNameCostOneTryEach) {
    HttpTestServer server(&Pictures);
    uint64_t before = FreeNamesTried();
    for (int i = 0; i < 150; ++i) ASSERT_TRUE(Save(server.Url("/pic/same.jpg")).saved) << i;
    EXPECT_LE(FreeNamesTried() - before, 160u);
    DeleteFileA((folder_ + "same(3).jpg").c_str());
    { std::ofstream(folder_ + "same(150).jpg") << "another instance's"; }
    SaveOutcome next = Save(server.Url("/pic/SAME.jpg"));
    ASSERT_TRUE(next.saved);
    EXPECT_EQ(next.path.str(), folder_ + "SAME(151).jpg");
    EXPECT_EQ(Read("same(150).jpg"), "another instance's");
    EXPECT_EQ(Files().size(), 151u);
}

// A download stage into a folder that holds some of its pictures already: a picture whose bytes equal the file
// under its name or a numbered form of it (b(3).jpg, or a name in another letter case) is not saved again and
// counts as already there; a file of the same name and size with other bytes, or the same bytes under another
// name, does not. Nothing in the folder changes but the pictures saved, and a picture saved earlier in the
// stage counts too.
class PictureSavingStage : public PictureSaving {
protected:
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(folder_ + name, std::ios::binary) << bytes;
    }
    void Begin() { BeginSavingStage(Text::Copy(folder_)); }
    void TearDown() override {
        EndSavingStage();
        PictureSaving::TearDown();
    }
    static std::string BodyOf(const std::string& path) { return "JPEG bytes of " + path; }
};

TEST_F(PictureSavingStage, SameBytesUnderItsNameOrANumberedFormAreAlreadyThere) {
    HttpTestServer server(&Pictures);
    Write("a.jpg", BodyOf("/pic/a.jpg"));
    Write("b.jpg", BodyOf("/pic/b.jpX"));     // same size, other bytes
    Write("b(1).jpg", "an older picture b");  // other size
    Write("b(3).jpg", BodyOf("/pic/B.jpg"));  // the same bytes but for the letter case of the address
    Write("c.jpg", BodyOf("/pic/c.jpX"));
    Write("elsewhere.jpg", BodyOf("/pic/d.jpg"));
    std::set<std::string> before = Files();
    Begin();

    SaveOutcome a = Save(server.Url("/pic/a.jpg"));
    EXPECT_FALSE(a.saved);
    EXPECT_TRUE(a.alreadyThere);
    SaveOutcome b = Save(server.Url("/pic/B.jpg"));
    EXPECT_FALSE(b.saved);
    EXPECT_TRUE(b.alreadyThere);
    SaveOutcome c = Save(server.Url("/pic/c.jpg"));
    ASSERT_TRUE(c.saved);
    EXPECT_FALSE(c.alreadyThere);
    EXPECT_EQ(c.path.str(), folder_ + "c(1).jpg");
    SaveOutcome d = Save(server.Url("/pic/d.jpg"));
    ASSERT_TRUE(d.saved);
    EXPECT_EQ(d.path.str(), folder_ + "d.jpg");
    // Saved in this stage: the same picture again is already there, and the name tried for it is free again.
    EXPECT_TRUE(Save(server.Url("/pic/c.jpg")).alreadyThere);
    EXPECT_TRUE(Save(server.Url("/pic/a.jpg")).alreadyThere);

    std::set<std::string> after = before;
    after.insert({"c(1).jpg", "d.jpg"});
    EXPECT_EQ(Files(), after);
    EXPECT_EQ(Read("a.jpg"), BodyOf("/pic/a.jpg"));
    EXPECT_EQ(Read("b.jpg"), BodyOf("/pic/b.jpX"));
    EXPECT_EQ(Read("c(1).jpg"), BodyOf("/pic/c.jpg"));

    // Outside a stage, or into another folder than the stage's, every picture is saved as before.
    EndSavingStage();
    SaveOutcome again = Save(server.Url("/pic/a.jpg"));
    ASSERT_TRUE(again.saved);
    EXPECT_EQ(again.path.str(), folder_ + "a(1).jpg");
}

// The folder may change under the stage (another instance, the person): a candidate that is locked, deleted or
// being deleted since the listing, or one that grew, is not the same picture, and the picture is saved, never
// failed and never written over anything.
TEST_F(PictureSavingStage, ACandidateLockedOrGoneMeanwhileDoesNotFailThePicture) {
    HttpTestServer server(&Pictures);
    for (const char* name : {"locked", "deleted", "pending", "grown"})
        Write(std::string(name) + ".jpg", BodyOf(std::string("/pic/") + name + ".jpg"));
    Begin();
    HANDLE locked = CreateFileA((folder_ + "locked.jpg").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(DeleteFileA((folder_ + "deleted.jpg").c_str()));
    HANDLE pending =
        CreateFileA((folder_ + "pending.jpg").c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(pending, INVALID_HANDLE_VALUE);
    FILE_DISPOSITION_INFO disposition{TRUE};
    ASSERT_TRUE(SetFileInformationByHandle(pending, FileDispositionInfo, &disposition, sizeof disposition));
    Write("grown.jpg", BodyOf("/pic/grown.jpg") + " and more");

    SaveOutcome l = Save(server.Url("/pic/locked.jpg"));
    EXPECT_TRUE(l.saved);
    EXPECT_EQ(l.path.str(), folder_ + "locked(1).jpg");
    SaveOutcome d = Save(server.Url("/pic/deleted.jpg"));
    EXPECT_TRUE(d.saved);
    EXPECT_EQ(d.path.str(), folder_ + "deleted.jpg");
    EXPECT_TRUE(Save(server.Url("/pic/pending.jpg")).saved);
    SaveOutcome g = Save(server.Url("/pic/grown.jpg"));
    EXPECT_TRUE(g.saved);
    EXPECT_EQ(g.path.str(), folder_ + "grown(1).jpg");
    CloseHandle(locked);
    CloseHandle(pending);
    EXPECT_EQ(Read("locked.jpg"), BodyOf("/pic/locked.jpg"));
    EXPECT_EQ(Read("locked(1).jpg"), BodyOf("/pic/locked.jpg"));
    EXPECT_EQ(Read("deleted.jpg"), BodyOf("/pic/deleted.jpg"));
    EXPECT_EQ(Read("grown.jpg"), BodyOf("/pic/grown.jpg") + " and more");
}

// 150 pictures of one name and one size, all different, then all of them again in the next stage: each costs
// about one name tried, the first stage saves all of them, and the second finds every one already there.
TEST_F(PictureSavingStage, ManyPicturesOfOneNameAndSizeCostOneTryEach) {
    HttpTestServer server(&Pictures);
    auto url = [&](int i) {
        char query[16];
        std::snprintf(query, sizeof query, "?n=%04d", i);
        return server.Url(std::string("/pic/same.jpg") + query);
    };
    uint64_t before = FreeNamesTried();
    Begin();
    for (int i = 0; i < 150; ++i) ASSERT_TRUE(Save(url(i)).saved) << i;
    EndSavingStage();
    Begin();
    for (int i = 149; i >= 0; --i) ASSERT_TRUE(Save(url(i)).alreadyThere) << i;
    EXPECT_LE(FreeNamesTried() - before, 320u);
    EXPECT_EQ(Files().size(), 150u);
}

// A picture that failed gives its name back: retried, it gets the name it would have had.
TEST_F(PictureSaving, AFailedPictureGivesItsNameBack) {
    HttpTestServer server([](const ReceivedRequest& r) {
        Reply reply;
        static std::atomic<int> calls{0};
        reply.status = calls++ == 1 ? 500 : 200;
        reply.body = "JPEG";
        return reply;
    });
    EXPECT_TRUE(Save(server.Url("/pic/retry.jpg")).saved);
    EXPECT_FALSE(Save(server.Url("/pic/retry.jpg")).saved);
    SaveOutcome again = Save(server.Url("/pic/retry.jpg"));
    ASSERT_TRUE(again.saved);
    EXPECT_EQ(again.path.str(), folder_ + "retry(1).jpg");
}

// Without a Content-Length the body ends when the connection closes, which a cut does too: only a whole
// picture (its format's end marker present) is saved.
TEST_F(PictureSaving, BodiesWithoutALengthAreSavedOnlyWhenTheyAreWholePictures) {
    const std::string jpeg = std::string("\xFF\xD8\xFF\xE0", 4) + std::string(3000, 'j') + "\xFF\xD9";
    // A GIF of one frame whose image data holds 3B bytes: cut right after one, its last byte looks like the
    // trailer, and only its block structure shows it is cut.
    const std::string gif = std::string("GIF89a\x02\x00\x02\x00\x00\x00\x00", 13) +
                            std::string("\x2C\x00\x00\x00\x00\x02\x00\x02\x00\x00\x02\x04\x3B\x3B\x44\x3B\x00;", 18);
    HttpTestServer server([&](const ReceivedRequest& r) {
        Reply reply;
        std::string body = r.requestLine.find("whole.jpg") != std::string::npos  ? jpeg
                           : r.requestLine.find("anim.gif") != std::string::npos ? gif
                           : r.requestLine.find("cut.gif") != std::string::npos  ? gif.substr(0, gif.size() - 2)
                           : r.requestLine.find("page.jpg") != std::string::npos ? std::string("<html>hello</html>")
                                                                                 : jpeg.substr(0, 1500);
        reply.raw = "HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n\r\n" + body;
        return reply;
    });
    SaveOutcome whole = Save(server.Url("/pic/whole.jpg"));
    ASSERT_TRUE(whole.saved);
    EXPECT_EQ(Read("whole.jpg"), jpeg);
    EXPECT_TRUE(Save(server.Url("/pic/anim.gif")).saved);
    EXPECT_FALSE(Save(server.Url("/pic/cut.jpg")).saved);
    EXPECT_FALSE(Save(server.Url("/pic/cut.gif")).saved);
    EXPECT_FALSE(Save(server.Url("/pic/page.jpg")).saved);
    EXPECT_EQ(Files(), (std::set<std::string>{"whole.jpg", "anim.gif"}));
}

TEST_F(PictureSaving, ParallelSavesOfOneNameEachGetTheirOwnFile) {
    HttpTestServer server(&Pictures);
    std::vector<std::thread> workers;
    for (int i = 0; i < 10; ++i) workers.emplace_back([&] { EXPECT_TRUE(Save(server.Url("/pic/same.jpg")).saved); });
    for (std::thread& t : workers) t.join();
    std::set<std::string> files = Files();
    EXPECT_EQ(files.size(), 10u);
    EXPECT_TRUE(files.count("same.jpg"));
    EXPECT_TRUE(files.count("same(9).jpg"));
}

}  // namespace
}  // namespace app
