// Saving pictures when the disk says no: a full file system, a read-only folder, a folder deleted during the
// download. Nothing may be left half-written and no existing file may change. scripts/test prepares the
// folders (a small tmpfs and a read-only bind mount) and names them in PEXO_TEST_FULL_FOLDER and
// PEXO_TEST_READONLY_FOLDER; without them those cases are skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <thread>

#include "app/browser/picture_saver.h"
#include "tests/win/support/files.h"
#include "tests/win/support/http_test_server.h"

namespace app {
namespace {

using testing_support::HttpTestServer;
using testing_support::ReceivedRequest;
using testing_support::Reply;

using testing_support::FilesIn;

std::string PreparedFolder(const char* variable) {
    const char* value = std::getenv(variable);
    if (!value || !*value) return "";
    std::string folder = value;
    if (folder.back() != '\\') folder += '\\';
    return folder;
}

// 200,000 bytes, or 100 for a path with "small".
Reply BigPicture(const ReceivedRequest& r) {
    Reply reply;
    reply.body.assign(r.requestLine.find("small") != std::string::npos ? 100 : 200000, 'p');
    return reply;
}

TEST(PictureSavingDisk, FullFileSystemLeavesNoPartialFileAndKeepsWhatWasThere) {
    std::string folder = PreparedFolder("PEXO_TEST_FULL_FOLDER");
    if (folder.empty()) GTEST_SKIP() << "PEXO_TEST_FULL_FOLDER not prepared";
    HttpTestServer server(&BigPicture);
    std::set<std::string> before = FilesIn(folder);
    std::string keep = testing_support::ReadWhole(folder + "existing.jpg");
    EXPECT_FALSE(SavePicture(Text::Copy(server.Url("/pic/existing.jpg")), Text::Copy(folder)).saved);
    EXPECT_EQ(FilesIn(folder), before);
    EXPECT_EQ(testing_support::ReadWhole(folder + "existing.jpg"), keep);
    // What still fits is saved: the failure above came from the space, not from the folder.
    SaveOutcome small = SavePicture(Text::Copy(server.Url("/pic/small.jpg")), Text::Copy(folder));
    ASSERT_TRUE(small.saved);
    DeleteFileA(small.path.c_str());
}

TEST(PictureSavingDisk, ReadOnlyFolderSavesNothing) {
    std::string folder = PreparedFolder("PEXO_TEST_READONLY_FOLDER");
    if (folder.empty()) GTEST_SKIP() << "PEXO_TEST_READONLY_FOLDER not prepared";
    HttpTestServer server(&BigPicture);
    std::set<std::string> before = FilesIn(folder);
    EXPECT_FALSE(SavePicture(Text::Copy(server.Url("/pic/new.jpg")), Text::Copy(folder)).saved);
    EXPECT_EQ(FilesIn(folder), before);
}

// Someone deleting the folder while a picture downloads into it: the picture's file is in use from its first
// moment, so it stays, and with it the folder, and the count matches what is on disk.
TEST(PictureSavingDisk, FolderDeletedDuringTheDownloadKeepsThePictureInUse) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "pexo-vanishing-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    bool deletedAny = false;
    HttpTestServer server([&](const ReceivedRequest&) {
        // While the download waits for its answer, everything in the folder and the folder are deleted.
        for (const std::string& name : FilesIn(folder)) deletedAny |= DeleteFileA((folder + name).c_str()) != 0;
        RemoveDirectoryA(folder.c_str());
        Reply reply;
        reply.body = "late picture";
        return reply;
    });
    SaveOutcome outcome = SavePicture(Text::Copy(server.Url("/pic/gone.jpg")), Text::Copy(folder));
    EXPECT_FALSE(deletedAny);
    EXPECT_TRUE(outcome.saved);
    EXPECT_EQ(FilesIn(folder), std::set<std::string>{"gone.jpg"});
    DeleteFileA((folder + "gone.jpg").c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(PictureSavingDisk, MissingFolderSavesNothing) {
    HttpTestServer server(&BigPicture);
    EXPECT_FALSE(SavePicture(Text::Copy(server.Url("/pic/a.jpg")), Text::Copy("C:\\no such folder\\")).saved);
}

}  // namespace
}  // namespace app
