// The album service's generated site, read the way the program reads it: the five scraping patterns, the
// last-page link, the index page addresses, the thumbnail and full-size addresses and the pictures.
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <boost/regex.hpp>
#include <csetjmp>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "tools/album-service/http.h"
#include "tools/album-service/sha256.h"
#include "tools/album-service/site.h"

namespace album {
namespace {

using Regex = boost::basic_regex<char, boost::c_regex_traits<char>>;
using RegexIterator = boost::regex_iterator<std::string::const_iterator, char, boost::c_regex_traits<char>>;

// The program's patterns, compiled as it compiles them: Perl syntax, letter case ignored.
const char* const kPurl = R"((?<=purl\:").*?(?="))";
const char* const kPname = R"((?<=pname\:").*?(?="))";
const char* const kPnum = R"((?<=pnum\:").*?(?="))";
const char* const kPsrc = R"((?<=psrc\:").*?(?="))";
const char* const kForimgs = R"((?<=id\="forimgs").*?(?=\/div))";

const char kOrigin[] = "http://127.0.0.1:8080";

std::vector<std::string> FindAll(const char* pattern, const std::string& text) {
    Regex regex(pattern, Regex::perl | Regex::icase);
    std::vector<std::string> found;
    for (RegexIterator it(text.begin(), text.end(), regex, boost::match_default | boost::format_all), end; it != end;
         ++it)
        found.push_back(it->str());
    return found;
}

// The 0-based index of the last page, read from the last "[尾页]" link as the program reads it; 0 without one.
int LastPageIndex(const std::string& page) {
    size_t marker = page.rfind("\">[尾页]");
    if (marker == std::string::npos) return 0;
    size_t slash = page.rfind('/', marker - 1);
    int value = 0;
    for (size_t i = slash + 1; i < page.size() && page[i] >= '0' && page[i] <= '9'; ++i)
        value = value * 10 + page[i] - '0';
    return value;
}

// An address the program built (root′ + purl, a psrc value, a full-size address) fetched from the site.
Resource Fetch(const Site& site, const std::string& address) {
    std::string_view rest(address);
    EXPECT_EQ(rest.substr(0, sizeof kOrigin - 1), kOrigin) << address;
    rest.remove_prefix(sizeof kOrigin - 1);
    return site.Resolve(SplitTarget(rest).path, kOrigin);
}

std::string Body(const Resource& resource) { return resource.body ? *resource.body : std::string(); }

struct Listing {
    int pages = 0;
    std::string joined;  // the data blocks of every index page, in page order
};

// What the program does with a first page and its base address: count the pages from the last-page link,
// fetch base + "/index/" + n for each and join their data blocks.
Listing ReadIndexPages(const Site& site, const std::string& base) {
    Listing listing;
    std::string first = Body(Fetch(site, base));
    listing.pages = LastPageIndex(first) + 1;
    for (int n = 0; n < listing.pages; ++n) {
        Resource page = Fetch(site, base + "/index/" + std::to_string(n));
        EXPECT_EQ(page.status, 200) << base << " page " << n;
        EXPECT_EQ(page.contentType, kHtmlType);
        std::vector<std::string> blocks = FindAll(kForimgs, Body(page));
        EXPECT_FALSE(blocks.empty()) << base << " page " << n;
        if (!blocks.empty()) listing.joined += blocks[0];
    }
    return listing;
}

struct Scraped {
    std::string url, name, count;
};

std::vector<Scraped> ListAlbums(const Site& site, const std::string& user, int* pages = nullptr) {
    Listing listing = ReadIndexPages(site, kOrigin + ("/" + user + "/album"));
    if (pages) *pages = listing.pages;
    std::vector<std::string> urls = FindAll(kPurl, listing.joined), names = FindAll(kPname, listing.joined),
                             counts = FindAll(kPnum, listing.joined);
    EXPECT_EQ(urls.size(), names.size());
    EXPECT_EQ(urls.size(), counts.size());
    std::vector<Scraped> albums;
    for (size_t i = 0; i < std::min({urls.size(), names.size(), counts.size()}); ++i)
        albums.push_back({kOrigin + urls[i], names[i], counts[i]});
    return albums;
}

struct ScrapedPicture {
    std::string thumb, full, name;
};

std::vector<ScrapedPicture> ListPictures(const Site& site, const std::string& albumUrl, int* pages = nullptr) {
    Listing listing = ReadIndexPages(site, albumUrl);
    if (pages) *pages = listing.pages;
    std::vector<std::string> sources = FindAll(kPsrc, listing.joined), names = FindAll(kPname, listing.joined);
    EXPECT_EQ(sources.size(), names.size());
    std::vector<ScrapedPicture> pictures;
    for (size_t i = 0; i < std::min(sources.size(), names.size()); ++i)
        pictures.push_back({sources[i], FullSizePath(sources[i]), names[i]});
    return pictures;
}

struct JpegSize {
    int width = 0, height = 0;
};

struct JpegErrorTrap {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// Decodes the whole JPEG; {0, 0} when libjpeg rejects it.
JpegSize DecodeJpeg(const std::string& bytes) {
    jpeg_decompress_struct info;
    JpegErrorTrap trap;
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<JpegErrorTrap*>(c->err)->jump, 1); };
    trap.manager.emit_message = [](j_common_ptr, int) {};
    static JSAMPLE row[4096 * 3];
    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&info);
        return {};
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    JSAMPROW rows[1] = {row};
    while (info.output_scanline < info.output_height) jpeg_read_scanlines(&info, rows, 1);
    jpeg_finish_decompress(&info);
    JpegSize size = {int(info.output_width), int(info.output_height)};
    jpeg_destroy_decompress(&info);
    return size;
}

class AlbumSite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { site_ = new Site(SiteOptions()); }
    static void TearDownTestSuite() {
        delete site_;
        site_ = nullptr;
    }
    static Site* site_;
};
Site* AlbumSite::site_ = nullptr;

TEST_F(AlbumSite, DemoUserAlbumsSpanTwoIndexPagesInOrder) {
    int pages = 0;
    std::vector<Scraped> albums = ListAlbums(*site_, "demo", &pages);
    EXPECT_EQ(pages, 2);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"空相册", "0"},   {"单张", "1"},     {"三行", "15"},  {"四行", "16"}, {"旅行", "50"},
        {"满一框", "600"}, {"多一张", "601"}, {"文件名", "8"}, {"家庭", "24"}, {"夕阳", "25"}};
    ASSERT_EQ(albums.size(), expected.size());
    for (size_t i = 0; i < albums.size(); ++i) {
        EXPECT_EQ(albums[i].name, expected[i].first) << i;
        EXPECT_EQ(albums[i].count, expected[i].second) << i;
        EXPECT_EQ(albums[i].url, kOrigin + ("/demo/album/" + std::to_string(1001 + i)));
    }
}

TEST_F(AlbumSite, FirstPageIsIndexPageZeroAndCarriesTheLastPageLink) {
    std::string first = Body(site_->Resolve("/demo/album", kOrigin));
    EXPECT_EQ(first, Body(site_->Resolve("/demo/album/index/0", kOrigin)));
    EXPECT_NE(first.find("/demo/album/index/1\">[尾页]"), std::string::npos);
    // Every page of a multi-page listing points at the same last page.
    EXPECT_EQ(LastPageIndex(Body(site_->Resolve("/demo/album/index/1", kOrigin))), 1);
    // The page is GBK: the marker's bytes are those of GBK, not of UTF-8.
    EXPECT_NE(first.find("\x22\x3E\x5B\xCE\xB2\xD2\xB3\x5D"), std::string::npos);
}

TEST_F(AlbumSite, ChineseUserIsReachedByRawGbkPercentGbkAndPercentUtf8) {
    const std::string raw = "/\xD0\xA1\xC3\xF7/album";  // 小明 in GBK, as the program puts it into the address
    EXPECT_EQ(raw, "/小明/album");
    Resource page = site_->Resolve(raw, kOrigin);
    ASSERT_EQ(page.status, 200);
    EXPECT_EQ(Body(site_->Resolve(SplitTarget("/%D0%A1%C3%F7/album").path, kOrigin)), Body(page));
    EXPECT_EQ(Body(site_->Resolve(SplitTarget("/%E5%B0%8F%E6%98%8E/album").path, kOrigin)), Body(page));

    int pages = 0;
    std::vector<Scraped> albums = ListAlbums(*site_, "小明", &pages);
    EXPECT_EQ(pages, 1);  // one page: no last-page link at all
    EXPECT_EQ(Body(page).find("[尾页]"), std::string::npos);
    ASSERT_EQ(albums.size(), 2u);
    EXPECT_EQ(albums[0].name, "风景");
    EXPECT_EQ(albums[0].count, "30");
    EXPECT_EQ(albums[0].url, kOrigin + std::string("/小明/album/1011"));
    EXPECT_EQ(albums[1].name, "海滩");
}

TEST_F(AlbumSite, UserWithoutAlbumsHasAnEmptyDataBlock) {
    Resource page = site_->Resolve("/newbie/album", kOrigin);
    ASSERT_EQ(page.status, 200);
    std::vector<std::string> blocks = FindAll(kForimgs, Body(page));
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_TRUE(FindAll(kPurl, blocks[0]).empty());
    EXPECT_TRUE(ListAlbums(*site_, "newbie").empty());
}

TEST_F(AlbumSite, EveryAlbumListsItsCountOfPicturesOverItsIndexPages) {
    for (const std::string user : {"demo", "小明"}) {
        for (const Scraped& album : ListAlbums(*site_, user)) {
            int pages = 0;
            std::vector<ScrapedPicture> pictures = ListPictures(*site_, album.url, &pages);
            size_t count = std::stoul(album.count);
            EXPECT_EQ(pictures.size(), count) << album.url;
            EXPECT_EQ(pages, count == 0 ? 1 : int((count + 23) / 24)) << album.url;
            for (const ScrapedPicture& picture : pictures) {
                EXPECT_EQ(picture.thumb.find(kOrigin), 0u);
                EXPECT_NE(picture.full, picture.thumb);  // every thumbnail address holds "/abpic/"
                EXPECT_FALSE(picture.name.empty());
            }
        }
    }
}

TEST_F(AlbumSite, PageBoundariesOfTheLargeAlbums) {
    int pages = 0;
    std::vector<ScrapedPicture> full = ListPictures(*site_, kOrigin + std::string("/demo/album/1006"), &pages);
    EXPECT_EQ(pages, 25);
    ASSERT_EQ(full.size(), 600u);
    EXPECT_EQ(full[599].thumb, kOrigin + std::string("/abpic/1006/IMG_0600.jpg"));

    std::vector<ScrapedPicture> more = ListPictures(*site_, kOrigin + std::string("/demo/album/1007"), &pages);
    EXPECT_EQ(pages, 26);
    ASSERT_EQ(more.size(), 601u);
    std::string lastPage = Body(site_->Resolve("/demo/album/1007/index/25", kOrigin));
    EXPECT_EQ(FindAll(kPsrc, lastPage).size(), 1u);
    EXPECT_EQ(site_->Resolve("/demo/album/1007/index/26", kOrigin).status, 404);

    // 24 pictures fill exactly one page, the 25th starts a second.
    EXPECT_EQ(site_->PicturePageCount(site_->albums()[8]), 1);
    EXPECT_EQ(site_->PicturePageCount(site_->albums()[9]), 2);
}

TEST_F(AlbumSite, ThumbnailAndFullSizeAddressesServeThatPicturesJpegs) {
    std::vector<ScrapedPicture> pictures = ListPictures(*site_, kOrigin + std::string("/demo/album/1005"));
    ASSERT_EQ(pictures.size(), 50u);
    const Album& album = site_->albums()[4];
    bool smallerThumb = false, largerThumb = false;
    for (size_t i = 0; i < pictures.size(); ++i) {
        PictureImages expected = site_->Images(album.firstPicture + i);
        Resource thumb = Fetch(*site_, pictures[i].thumb);
        Resource full = Fetch(*site_, pictures[i].full);
        ASSERT_EQ(thumb.status, 200) << pictures[i].thumb;
        ASSERT_EQ(full.status, 200) << pictures[i].full;
        EXPECT_EQ(thumb.contentType, kJpegType);
        EXPECT_EQ(*thumb.body, *expected.thumb);
        EXPECT_EQ(*full.body, *expected.full);
        JpegSize t = DecodeJpeg(*thumb.body), f = DecodeJpeg(*full.body);
        EXPECT_EQ(t.width, site_->pictures()[album.firstPicture + i].thumbWidth);
        EXPECT_GT(f.width * f.height, t.width * t.height);
        smallerThumb |= t.width < 150 && t.height < 143;
        largerThumb |= t.width > 150 && t.height > 143;
    }
    EXPECT_TRUE(smallerThumb);
    EXPECT_TRUE(largerThumb);
}

TEST_F(AlbumSite, FileNameAlbumAddressesResolve) {
    std::vector<ScrapedPicture> pictures = ListPictures(*site_, kOrigin + std::string("/demo/album/1008"));
    ASSERT_EQ(pictures.size(), 8u);
    EXPECT_EQ(pictures[0].full, kOrigin + std::string("/pic/1008/a/photo.jpg"));
    EXPECT_EQ(pictures[2].full, kOrigin + std::string("/pic/1008/photo.jpg?v=2"));
    // A capitalised thumbnail directory is rewritten like a lower-case one.
    EXPECT_EQ(pictures[3].thumb, kOrigin + std::string("/ABPIC/1008/IMG_0004.JPG"));
    EXPECT_EQ(pictures[3].full, kOrigin + std::string("/pic/1008/IMG_0004.JPG"));
    // GBK bytes in the address and the name: 東 ends in 0x7C, 誠 in 0x5C.
    EXPECT_EQ(pictures[4].full, kOrigin + std::string("/pic/1008/\x96\x7C\xBE\xA9.jpg"));
    EXPECT_EQ(pictures[4].name, "東京 誠品");
    EXPECT_NE(pictures[4].name.find('\x5C'), std::string::npos);

    std::set<std::string> bodies;
    for (const ScrapedPicture& picture : pictures) {
        Resource full = Fetch(*site_, picture.full);
        ASSERT_EQ(full.status, 200) << picture.full;
        EXPECT_GT(DecodeJpeg(*full.body).width, 0);
        bodies.insert(*full.body);
    }
    EXPECT_EQ(bodies.size(), pictures.size());  // equal base names, different pictures
}

TEST_F(AlbumSite, PathsThatNameNothingAre404) {
    for (const char* path : {"/nobody/album", "/demo", "/demo/albums", "/demo/album/9999", "/demo/album/index/2",
                             "/demo/album/index/x", "/demo/album/1011", "/demo/album/1005/index/3",
                             "/demo/album/1005/page/0", "/abpic/1005/IMG_9999.jpg", "/pic/1005", "relative"}) {
        Resource r = site_->Resolve(path, kOrigin);
        EXPECT_EQ(r.status, 404) << path;
        EXPECT_EQ(r.contentType, kHtmlType);
    }
}

TEST_F(AlbumSite, ManifestListsEveryPictureWithItsFingerprint) {
    std::string manifest = site_->ManifestJson();
    const std::string key = "\"sha256\": \"";
    std::set<std::string> fingerprints;
    size_t entries = 0;
    for (size_t at = manifest.find(key); at != std::string::npos; at = manifest.find(key, at + 1)) {
        fingerprints.insert(manifest.substr(at + key.size(), 64));
        ++entries;
    }
    EXPECT_EQ(entries, site_->pictures().size());
    EXPECT_EQ(fingerprints.size(), entries);  // every picture distinct, byte for byte
    // Names are UTF-8 in the manifest.
    EXPECT_NE(manifest.find("\"name\": \"\xE6\x97\x85\xE8\xA1\x8C\""), std::string::npos);  // 旅行
    for (size_t i = 0; i < site_->pictures().size(); i += 100) {
        const Picture& p = site_->pictures()[i];
        size_t at = manifest.find("\"full\": \"" + p.fullPath + "\"");
        ASSERT_NE(at, std::string::npos) << p.fullPath;
        const std::string& full = *site_->Images(i).full;
        EXPECT_EQ(manifest.substr(manifest.find("\"size\": ", at) + 8, std::to_string(full.size()).size() + 1),
                  std::to_string(full.size()) + ",");
        EXPECT_EQ(manifest.substr(manifest.find(key, at) + key.size(), 64), Sha256Hex(full));
    }
}

TEST(AlbumSiteOptions, VersionAndDownloadTexts) {
    Site plain{SiteOptions()};
    EXPECT_EQ(Body(plain.Resolve("/pexo.txt", kOrigin)), "V1.0");
    EXPECT_EQ(plain.Resolve("/pexo.txt", kOrigin).contentType, kTextType);
    EXPECT_EQ(Body(plain.Resolve("/pexoxiazai.txt", kOrigin)), kOrigin + std::string("/download.html"));
    EXPECT_EQ(plain.Resolve("/download.html", kOrigin).status, 200);

    SiteOptions options;
    options.versionText = "";
    options.downloadAddress = "http://example.com/get";
    Site configured(options);
    Resource version = configured.Resolve("/pexo.txt", kOrigin);
    EXPECT_EQ(version.status, 200);
    EXPECT_EQ(Body(version), "");
    EXPECT_EQ(Body(configured.Resolve("/pexoxiazai.txt", kOrigin)), "http://example.com/get");
}

TEST(AlbumSiteOptions, PageSizesAndTheBenchmarkAlbum) {
    SiteOptions options;
    options.albumsPerPage = 3;
    options.picturesPerPage = 100;
    options.bigAlbumPictures = 1234;
    Site site(options);
    int pages = 0;
    EXPECT_EQ(ListAlbums(site, "demo", &pages).size(), 10u);
    EXPECT_EQ(pages, 4);
    EXPECT_NE(Body(site.Resolve("/demo/album", kOrigin)).find("/demo/album/index/3\">[尾页]"), std::string::npos);

    std::vector<Scraped> bench = ListAlbums(site, "bench");
    ASSERT_EQ(bench.size(), 1u);
    EXPECT_EQ(bench[0].count, "1234");
    std::vector<ScrapedPicture> pictures = ListPictures(site, bench[0].url, &pages);
    EXPECT_EQ(pages, 13);
    ASSERT_EQ(pictures.size(), 1234u);
    JpegSize last = DecodeJpeg(*Fetch(site, pictures.back().full).body);
    EXPECT_EQ(last.width, 320);
    EXPECT_EQ(last.height, 240);
}

// A grown album: before /_control/grow it lists and serves its first pictures only; after it, the added ones
// too, and the changed picture has other bytes under its old address while every other picture keeps its own.
// A site started grown serves the same bytes, so the manifest of the grown site describes what was served.
TEST(AlbumSiteOptions, GrowAddsPicturesAndChangesOneWhenAsked) {
    SiteOptions options;
    options.growAlbum = 1005;
    options.growAdd = 30;
    options.growChange = 3;
    Site site(options);
    std::string album = kOrigin + std::string("/demo/album/1005");
    std::vector<ScrapedPicture> before = ListPictures(site, album);
    ASSERT_EQ(before.size(), 50u);
    EXPECT_EQ(ListAlbums(site, "demo")[4].count, "50");
    EXPECT_EQ(Fetch(site, kOrigin + std::string("/pic/1005/IMG_0051.jpg")).status, 404);
    std::vector<std::string> old;
    for (const ScrapedPicture& picture : before) old.push_back(Body(Fetch(site, picture.full)));

    Resource grow = site.Resolve(kGrowPath, kOrigin);
    EXPECT_EQ(grow.status, 200);
    EXPECT_TRUE(site.grown());
    std::vector<ScrapedPicture> after = ListPictures(site, album);
    ASSERT_EQ(after.size(), 80u);
    EXPECT_EQ(ListAlbums(site, "demo")[4].count, "80");
    std::set<std::string> seen;
    for (size_t i = 0; i < after.size(); ++i) {
        std::string bytes = Body(Fetch(site, after[i].full));
        EXPECT_TRUE(seen.insert(bytes).second) << i;
        EXPECT_TRUE(DecodeJpeg(bytes).width > 0) << i;
        if (i < old.size()) {
            EXPECT_EQ(bytes == old[i], i != 2) << i;
        }
    }

    SiteOptions startedGrown = options;
    startedGrown.grown = true;
    Site again(startedGrown);
    EXPECT_EQ(Body(Fetch(again, after[2].full)), Body(Fetch(site, after[2].full)));
    EXPECT_EQ(Body(Fetch(again, after[79].full)), Body(Fetch(site, after[79].full)));
    EXPECT_NE(again.ManifestJson().find("\"full\": \"/pic/1005/IMG_0080.jpg\""), std::string::npos);
    EXPECT_EQ(Site(options).ManifestJson().find("/pic/1005/IMG_0051.jpg"), std::string::npos);
}

TEST(AlbumSitePaths, FullSizePathReplacesEveryThumbnailDirectoryInAnyCase) {
    EXPECT_EQ(FullSizePath("http://h/abpic/1/a.jpg"), "http://h/pic/1/a.jpg");
    EXPECT_EQ(FullSizePath("http://h/AbPiC/1/ABPIC/a.jpg"), "http://h/pic/1/pic/a.jpg");
    EXPECT_EQ(FullSizePath("/abpic//abpic/x"), "/pic//pic/x");
    EXPECT_EQ(FullSizePath("http://h/pic/abpicx"), "http://h/pic/abpicx");
}

}  // namespace
}  // namespace album
