// Builds the sample site from fixed plans, renders its index pages and resolves paths to pages and pictures.
#include "tools/album-service/site.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

#include "tools/album-service/gbk.h"
#include "tools/album-service/http.h"
#include "tools/album-service/jpeg_art.h"
#include "tools/album-service/sha256.h"

namespace album {
namespace {

struct AlbumPlan {
    const char* name;
    int pictures;
};

// The demo user's albums: counts around the grid's thresholds (15/16 pictures fill three rows or start a
// fourth, 600 fill one container, 601 start a second) and around the index page size (24 and 25).
constexpr AlbumPlan kDemoAlbums[] = {{"空相册", 0},   {"单张", 1},     {"三行", 15}, {"四行", 16}, {"旅行", 50},
                                     {"满一框", 600}, {"多一张", 601}, {"家庭", 24}, {"夕阳", 25}};
constexpr AlbumPlan kChineseUserAlbums[] = {{"风景", 30}, {"海滩", 3}};

constexpr const char* kPictureWords[] = {"夕阳", "海滩", "山路", "小猫", "花园", "雪景", "古镇", "晚霞"};

struct Dimensions {
    int width, height;
};
// Thumbnails smaller than the 150 x 143 grid cell, equal to it, larger in one direction and in both.
constexpr Dimensions kThumbSizes[] = {{120, 90}, {150, 143}, {200, 150}, {90, 160}, {240, 100}, {64, 48}};
constexpr Dimensions kFullSizes[] = {{640, 480}, {480, 640}, {800, 600}, {400, 300}};
constexpr Dimensions kBenchFullSize = {320, 240};
constexpr int kFirstAlbumId = 1001;

// Pictures whose addresses exercise the client's file naming: equal base names, a query, a capitalised
// thumbnail prefix, GBK bytes in the file name (東 ends in 0x7C), a device name, no extension, a colon.
struct FilePlan {
    const char* name;
    const char* file;
    const char* thumbDir;
    const char* query;
};
constexpr FilePlan kFileNamePlans[] = {
    {"同名甲", "a/photo.jpg", "/abpic/", ""},   {"同名乙", "b/photo.jpg", "/abpic/", ""},
    {"带参数", "photo.jpg", "/abpic/", "?v=2"}, {"大写路径", "IMG_0004.JPG", "/ABPIC/", ""},
    {"東京 誠品", "東京.jpg", "/abpic/", ""},   {"设备名", "con.jpg", "/abpic/", ""},
    {"无扩展名", "img", "/abpic/", ""},         {"冒号", "x:y.jpg", "/abpic/", ""}};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
    return true;
}

// A page number: 1 to 9 decimal digits.
int ParsePageNumber(std::string_view text) {
    if (text.empty() || text.size() > 9) return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string PageStart(std::string_view title) {
    std::string out = "<!DOCTYPE html>\n<html>\n<head>\n";
    out += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">\n<title>";
    out += HtmlEscape(title);
    out += "</title>\n</head>\n<body>\n";
    return out;
}

constexpr std::string_view kPageEnd = "</body>\n</html>\n";

// The page links under the data block; the last one, "[尾页]", ends in the last page's 0-based number.
std::string Pager(const std::string& base, int page, int pages) {
    if (pages <= 1) return "";
    auto link = [&](int target, const char* text) {
        return " <a href=\"" + base + "/index/" + std::to_string(target) + "\">" + text + "</a>";
    };
    std::string out = "<div class=\"pages\">共" + std::to_string(pages) + "页 第" + std::to_string(page + 1) + "页";
    out += link(0, "[首页]");
    if (page > 0) out += link(page - 1, "[上一页]");
    if (page + 1 < pages) out += link(page + 1, "[下一页]");
    out += link(pages - 1, "[尾页]");
    out += "</div>\n";
    return out;
}

int PageCount(size_t items, int perPage) {
    if (items == 0) return 1;
    return int((items + perPage - 1) / perPage);
}

std::shared_ptr<const std::string> Shared(std::string text) {
    return std::make_shared<const std::string>(std::move(text));
}

Resource Found(std::string_view type, std::string body) { return {200, std::string(type), Shared(std::move(body))}; }

Resource NotFound() { return {404, std::string(kHtmlType), Shared(StatusPage(404))}; }

void AppendJsonString(std::string& out, std::string_view gbk) {
    out += '"';
    for (char c : GbkToUtf8(gbk)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

}  // namespace

std::string FullSizePath(std::string_view thumbPath) {
    std::string out;
    size_t i = 0;
    while (i < thumbPath.size()) {
        if (StartsWithNoCase(thumbPath.substr(i), kThumbPrefix)) {
            out += kFullPrefix;
            i += kThumbPrefix.size();
        } else {
            out += thumbPath[i++];
        }
    }
    return out;
}

Site::Site(SiteOptions options) : options_(std::move(options)) {
    options_.albumsPerPage = std::max(1, options_.albumsPerPage);
    options_.picturesPerPage = std::max(1, options_.picturesPerPage);

    AddUser("demo");
    for (const AlbumPlan& plan : kDemoAlbums) {
        users_.back().albums.push_back(AddAlbum(plan.name, plan.pictures));
        // The file-naming album sits in the middle of the list, on the first index page.
        if (std::string_view(plan.name) == "多一张") AddFileNameAlbum();
    }
    AddUser("小明");
    for (const AlbumPlan& plan : kChineseUserAlbums) users_.back().albums.push_back(AddAlbum(plan.name, plan.pictures));
    AddUser("newbie");
    if (options_.bigAlbumPictures > 0) {
        AddUser("bench");
        users_.back().albums.push_back(AddAlbum("大相册", options_.bigAlbumPictures));
    }

    slots_ = std::make_unique<Slot[]>(pictures_.size());
    grown_ = options_.grown;
    versionText_ = Shared(options_.versionText);

    std::string home = PageStart("Pexo相册");
    home += "<h1>Pexo相册</h1>\n<ul class=\"users\">\n";
    for (const User& user : users_)
        home += "<li><a href=\"/" + user.name + "/album\">" + HtmlEscape(user.name) + "</a></li>\n";
    home += "</ul>\n";
    home += kPageEnd;
    homePage_ = Shared(std::move(home));
}

void Site::AddUser(std::string name) {
    userByName_[name] = users_.size();
    users_.push_back({std::move(name), {}});
}

size_t Site::AddAlbum(std::string name, int pictureCount) {
    Album album;
    if (kFirstAlbumId + int(albums_.size()) == options_.growAlbum) pictureCount += std::max(0, options_.growAdd);
    album.id = kFirstAlbumId + int(albums_.size());
    album.name = std::move(name);
    album.owner = users_.back().name;
    album.path = "/" + album.owner + "/album/" + std::to_string(album.id);
    album.firstPicture = pictures_.size();
    bool bench = album.owner == "bench";
    for (int n = 1; n <= pictureCount; ++n) {
        char file[32];
        std::snprintf(file, sizeof file, "IMG_%04d.jpg", n);
        std::string fileName = bench && !options_.bigAlbumFileName.empty()
                                   ? std::to_string(n) + "/" + options_.bigAlbumFileName
                                   : std::string(file);
        AddPicture(album, std::string(kPictureWords[(n - 1) % std::size(kPictureWords)]) + std::to_string(n), fileName,
                   kThumbPrefix, "");
        // The benchmark album keeps its pictures small: thousands of them stay in memory.
        if (bench) {
            pictures_.back().fullWidth = kBenchFullSize.width;
            pictures_.back().fullHeight = kBenchFullSize.height;
        }
    }
    albums_.push_back(std::move(album));
    return albums_.size() - 1;
}

void Site::AddFileNameAlbum() {
    size_t index = AddAlbum("文件名", 0);
    users_.back().albums.push_back(index);
    Album& album = albums_[index];
    for (const FilePlan& plan : kFileNamePlans) AddPicture(album, plan.name, plan.file, plan.thumbDir, plan.query);
}

void Site::AddPicture(Album& album, std::string name, std::string file, std::string_view thumbDir,
                      std::string_view query) {
    Picture picture;
    picture.albumId = album.id;
    picture.number = int(album.pictureCount) + 1;
    picture.name = std::move(name);
    picture.fileKey = std::to_string(album.id) + "/" + file;
    picture.thumbPath = std::string(thumbDir) + picture.fileKey + std::string(query);
    picture.fullPath = FullSizePath(picture.thumbPath);
    Dimensions thumb = kThumbSizes[(picture.number - 1) % std::size(kThumbSizes)];
    Dimensions full = kFullSizes[(picture.number - 1) % std::size(kFullSizes)];
    picture.thumbWidth = thumb.width;
    picture.thumbHeight = thumb.height;
    picture.fullWidth = full.width;
    picture.fullHeight = full.height;
    pictureByKey_[picture.fileKey] = pictures_.size();
    pictures_.push_back(std::move(picture));
    ++album.pictureCount;
}

const User* Site::FindUser(std::string_view name) const {
    auto it = userByName_.find(name);
    return it == userByName_.end() ? nullptr : &users_[it->second];
}

int Site::AlbumPageCount(const User& user) const { return PageCount(user.albums.size(), options_.albumsPerPage); }

int Site::PicturePageCount(const Album& album) const {
    return PageCount(ShownPictures(album), options_.picturesPerPage);
}

size_t Site::ShownPictures(const Album& album) const {
    if (album.id != options_.growAlbum || grown_) return album.pictureCount;
    return album.pictureCount - std::min(album.pictureCount, size_t(std::max(0, options_.growAdd)));
}

bool Site::IsChanged(size_t pictureIndex) const {
    const Picture& picture = pictures_[pictureIndex];
    return grown_ && options_.growChange > 0 && picture.albumId == options_.growAlbum &&
           picture.number == options_.growChange;
}

std::string Site::AlbumIndexPage(const User& user, int page) const {
    std::string base = "/" + user.name + "/album";
    std::string title = user.name + "的相册";
    size_t first = size_t(page) * options_.albumsPerPage;
    size_t last = std::min(user.albums.size(), first + options_.albumsPerPage);

    std::string out = PageStart(title + " - Pexo相册");
    out += "<div class=\"nav\"><a href=\"/\">Pexo相册</a> &gt; <a href=\"" + base + "\">" + HtmlEscape(title) +
           "</a></div>\n<h1>" + HtmlEscape(title) + "</h1>\n";
    out += "<div id=\"forimgs\">\n<script type=\"text/javascript\">\nvar albums = [\n";
    for (size_t i = first; i < last; ++i) {
        const Album& album = albums_[user.albums[i]];
        out += "{purl:\"" + album.path + "\",pname:\"" + album.name + "\",pnum:\"" +
               std::to_string(ShownPictures(album)) + "\"}" + (i + 1 < last ? ",\n" : "\n");
    }
    out += "];\n</script>\n<ul class=\"albums\">\n";
    for (size_t i = first; i < last; ++i) {
        const Album& album = albums_[user.albums[i]];
        out += "<li><a href=\"" + album.path + "\">" + HtmlEscape(album.name) + "</a> (" +
               std::to_string(ShownPictures(album)) + "张)</li>\n";
    }
    out += "</ul>\n</div>\n";
    out += Pager(base, page, AlbumPageCount(user));
    out += kPageEnd;
    return out;
}

std::string Site::PictureIndexPage(const Album& album, int page, std::string_view origin) const {
    std::string title = album.name + " - " + album.owner + "的相册";
    size_t first = album.firstPicture + size_t(page) * options_.picturesPerPage;
    size_t last = std::min(album.firstPicture + ShownPictures(album), first + options_.picturesPerPage);

    std::string out = PageStart(title + " - Pexo相册");
    out += "<div class=\"nav\"><a href=\"/\">Pexo相册</a> &gt; <a href=\"/" + album.owner + "/album\">" +
           HtmlEscape(album.owner) + "的相册</a> &gt; " + HtmlEscape(album.name) + "</div>\n<h1>" +
           HtmlEscape(album.name) + " (共" + std::to_string(ShownPictures(album)) + "张)</h1>\n";
    out += "<div id=\"forimgs\">\n<script type=\"text/javascript\">\nvar pictures = [\n";
    for (size_t i = first; i < last; ++i) {
        const Picture& picture = pictures_[i];
        out += "{psrc:\"" + std::string(origin) + picture.thumbPath + "\",pname:\"" + picture.name + "\"}" +
               (i + 1 < last ? ",\n" : "\n");
    }
    out += "];\n</script>\n<ul class=\"pictures\">\n";
    for (size_t i = first; i < last; ++i) {
        const Picture& picture = pictures_[i];
        out += "<li><a href=\"" + std::string(origin) + HtmlEscape(picture.fullPath) + "\"><img src=\"" +
               std::string(origin) + HtmlEscape(picture.thumbPath) + "\" alt=\"\"></a><br>" + HtmlEscape(picture.name) +
               "</li>\n";
    }
    out += "</ul>\n</div>\n";
    out += Pager(album.path, page, PicturePageCount(album));
    out += kPageEnd;
    return out;
}

PictureImages Site::Images(size_t pictureIndex) const {
    // The changed picture is the same card with another album id mixed in: the same name, other bytes.
    bool changed = IsChanged(pictureIndex);
    Slot& slot = changed ? changedSlot_ : slots_[pictureIndex];
    std::call_once(slot.once, [&] {
        const Picture& picture = pictures_[pictureIndex];
        int mixed = changed ? picture.albumId + 1 : picture.albumId;
        slot.images.thumb = Shared(DrawCardJpeg({picture.thumbWidth, picture.thumbHeight, mixed, picture.number}));
        slot.images.full = Shared(DrawCardJpeg({picture.fullWidth, picture.fullHeight, mixed, picture.number}));
    });
    return slot.images;
}

Resource Site::PictureFile(std::string_view key, bool full) const {
    auto it = pictureByKey_.find(std::string(key));
    if (it == pictureByKey_.end()) return NotFound();
    const Picture& picture = pictures_[it->second];
    if (size_t(picture.number) > ShownPictures(albums_[size_t(picture.albumId - kFirstAlbumId)])) return NotFound();
    PictureImages images = Images(it->second);
    return {200, std::string(kJpegType), full ? images.full : images.thumb};
}

Resource Site::ResolveUserPath(const std::vector<std::string_view>& parts, std::string_view origin) const {
    // parts: user, "album", then nothing | "index" N | album id [ "index" N ].
    if (parts.size() < 2 || parts[1] != "album") return NotFound();
    const User* user = FindUser(parts[0]);
    if (!user) return NotFound();
    if (parts.size() == 2) return Found(kHtmlType, AlbumIndexPage(*user, 0));
    if (parts[2] == "index") {
        int page = parts.size() == 4 ? ParsePageNumber(parts[3]) : -1;
        if (page < 0 || page >= AlbumPageCount(*user)) return NotFound();
        return Found(kHtmlType, AlbumIndexPage(*user, page));
    }
    int id = ParsePageNumber(parts[2]);
    auto owned =
        std::find_if(user->albums.begin(), user->albums.end(), [&](size_t index) { return albums_[index].id == id; });
    if (owned == user->albums.end()) return NotFound();
    const Album& album = albums_[*owned];
    if (parts.size() == 3) return Found(kHtmlType, PictureIndexPage(album, 0, origin));
    int page = parts.size() == 5 && parts[3] == "index" ? ParsePageNumber(parts[4]) : -1;
    if (page < 0 || page >= PicturePageCount(album)) return NotFound();
    return Found(kHtmlType, PictureIndexPage(album, page, origin));
}

Resource Site::Resolve(std::string_view path, std::string_view origin) const {
    Resource found = ResolveExact(path, origin);
    // A browser sends a Chinese name as percent-encoded UTF-8; the client sends GBK. Both name the same thing.
    if (found.status == 404 && !IsAscii(path)) {
        if (auto gbk = Utf8ToGbk(path); gbk && *gbk != path) return ResolveExact(*gbk, origin);
    }
    return found;
}

Resource Site::ResolveExact(std::string_view path, std::string_view origin) const {
    if (path.empty() || path[0] != '/') return NotFound();
    if (path == "/") return {200, std::string(kHtmlType), homePage_};
    if (path == kGrowPath) {
        grown_ = true;
        return Found(kTextType, "grown");
    }
    if (path == "/pexo.txt") return {200, std::string(kTextType), versionText_};
    if (path == "/pexoxiazai.txt") {
        std::string address = options_.downloadAddress;
        if (address.empty()) address = std::string(origin) + "/download.html";
        return Found(kTextType, std::move(address));
    }
    if (path == "/download.html")
        return Found(kHtmlType, PageStart("Pexo相册图片批量下载") + "<h1>Pexo相册图片批量下载 新版本下载</h1>\n" +
                                    std::string(kPageEnd));
    if (StartsWithNoCase(path, kThumbPrefix)) return PictureFile(path.substr(kThumbPrefix.size()), false);
    if (StartsWithNoCase(path, kFullPrefix)) return PictureFile(path.substr(kFullPrefix.size()), true);

    std::vector<std::string_view> parts;
    std::string_view rest = path.substr(1);
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    while (true) {
        size_t slash = rest.find('/');
        parts.push_back(rest.substr(0, slash));
        if (slash == std::string_view::npos) break;
        rest = rest.substr(slash + 1);
    }
    return ResolveUserPath(parts, origin);
}

std::string Site::ManifestJson() const {
    // Make every picture first, on all cores.
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    unsigned count = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned t = 0; t < count; ++t)
        workers.emplace_back([&] {
            for (size_t i = next++; i < pictures_.size(); i = next++) Images(i);
        });
    for (std::thread& worker : workers) worker.join();

    std::string out = "{\n\"users\": [\n";
    for (size_t u = 0; u < users_.size(); ++u) {
        const User& user = users_[u];
        out += "{\"name\": ";
        AppendJsonString(out, user.name);
        out += ", \"path\": ";
        AppendJsonString(out, "/" + user.name + "/album");
        out += ", \"pages\": " + std::to_string(AlbumPageCount(user)) + ", \"albums\": [";
        for (size_t a = 0; a < user.albums.size(); ++a)
            out += (a ? ", " : "") + std::to_string(albums_[user.albums[a]].id);
        out += u + 1 < users_.size() ? "]},\n" : "]}\n";
    }
    out += "],\n\"albums\": [\n";
    for (size_t a = 0; a < albums_.size(); ++a) {
        const Album& album = albums_[a];
        out += "{\"id\": " + std::to_string(album.id) + ", \"owner\": ";
        AppendJsonString(out, album.owner);
        out += ", \"name\": ";
        AppendJsonString(out, album.name);
        out += ", \"path\": ";
        AppendJsonString(out, album.path);
        out += ", \"pictures\": " + std::to_string(ShownPictures(album)) +
               ", \"pages\": " + std::to_string(PicturePageCount(album));
        out += a + 1 < albums_.size() ? "},\n" : "}\n";
    }
    out += "],\n\"pictures\": [\n";
    bool first = true;
    for (size_t i = 0; i < pictures_.size(); ++i) {
        const Picture& picture = pictures_[i];
        if (size_t(picture.number) > ShownPictures(albums_[size_t(picture.albumId - kFirstAlbumId)])) continue;
        PictureImages images = Images(i);
        out += first ? "" : ",\n";
        first = false;
        out += "{\"album\": " + std::to_string(picture.albumId) + ", \"number\": " + std::to_string(picture.number) +
               ", \"name\": ";
        AppendJsonString(out, picture.name);
        out += ", \"thumb\": ";
        AppendJsonString(out, picture.thumbPath);
        out += ", \"full\": ";
        AppendJsonString(out, picture.fullPath);
        out += ", \"thumbWidth\": " + std::to_string(picture.thumbWidth) +
               ", \"thumbHeight\": " + std::to_string(picture.thumbHeight) +
               ", \"width\": " + std::to_string(picture.fullWidth) +
               ", \"height\": " + std::to_string(picture.fullHeight) +
               ", \"size\": " + std::to_string(images.full->size()) + ", \"sha256\": \"" + Sha256Hex(*images.full) +
               "\"}";
    }
    out += "\n]\n}\n";
    return out;
}

}  // namespace album
