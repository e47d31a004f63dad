// The generated sample site: users, albums and pictures, the pages that list them and the JPEG files.
#pragma once

#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace album {

struct SiteOptions {
    int bigAlbumPictures = 0;          // > 0: user "bench" gets one album of that many pictures
    std::string bigAlbumFileName;      // not empty: that album's pictures are all "N/<this name>"
    int albumsPerPage = 8;             // albums per album index page
    int picturesPerPage = 24;          // pictures per picture index page
    std::string versionText = "V1.0";  // body of /pexo.txt, bytes as they are
    std::string downloadAddress;       // body of /pexoxiazai.txt; empty: origin + "/download.html"
    // Growth of one album between two listings: growAdd more pictures after its own, and picture growChange
    // (1-based, 0: none) drawn anew, shown once /_control/grow was requested (or from the start when grown).
    int growAlbum = 0;
    int growAdd = 0;
    int growChange = 0;
    bool grown = false;
};

struct Picture {
    int albumId = 0;
    int number = 0;         // 1-based position in its album
    std::string name;       // GBK
    std::string thumbPath;  // psrc after the origin: "/abpic/..." (a query may follow)
    std::string fullPath;   // thumbPath with "/abpic/" replaced by "/pic/", any letter case
    std::string fileKey;    // what follows "/abpic/" or "/pic/", without query: "1001/IMG_0001.jpg"
    int thumbWidth = 0, thumbHeight = 0;
    int fullWidth = 0, fullHeight = 0;
};

struct Album {
    int id = 0;
    std::string name;         // GBK
    std::string owner;        // user name, GBK
    std::string path;         // the purl value: "/" + owner + "/album/" + id
    size_t firstPicture = 0;  // index into Site::pictures()
    size_t pictureCount = 0;
};

struct User {
    std::string name;            // GBK
    std::vector<size_t> albums;  // indexes into Site::albums()
};

// What the site answers for one path.
struct Resource {
    int status = 200;
    std::string contentType;
    std::shared_ptr<const std::string> body;
};

// Resolved images of one picture, made on first use.
struct PictureImages {
    std::shared_ptr<const std::string> thumb;
    std::shared_ptr<const std::string> full;
};

inline constexpr std::string_view kHtmlType = "text/html; charset=gbk";
inline constexpr std::string_view kJpegType = "image/jpeg";
inline constexpr std::string_view kTextType = "text/plain; charset=gbk";

class Site {
public:
    explicit Site(SiteOptions options);
    Site(const Site&) = delete;
    Site& operator=(const Site&) = delete;

    // The page, picture or text at `path` (percent-decoded, without the query). `origin` ("http://host:port",
    // taken from the request's Host header) prefixes the psrc values, which the client uses as they stand.
    // A path that names nothing gives 404 with a short GBK page.
    Resource Resolve(std::string_view path, std::string_view origin) const;

    std::string AlbumIndexPage(const User& user, int page) const;
    std::string PictureIndexPage(const Album& album, int page, std::string_view origin) const;
    int AlbumPageCount(const User& user) const;
    int PicturePageCount(const Album& album) const;

    // Thumbnail and full-size JPEG of a picture, made once and then shared; safe from any thread.
    PictureImages Images(size_t pictureIndex) const;

    // Every user, album and picture with its paths, sizes and the SHA-256 of each full-size picture, as JSON
    // (UTF-8). Makes every picture.
    std::string ManifestJson() const;

    // The pictures of the album the site shows now: all of them once grown, its first ones before.
    size_t ShownPictures(const Album& album) const;
    bool grown() const { return grown_; }

    const User* FindUser(std::string_view name) const;
    const std::vector<User>& users() const { return users_; }
    const std::vector<Album>& albums() const { return albums_; }
    const std::vector<Picture>& pictures() const { return pictures_; }
    const SiteOptions& options() const { return options_; }

private:
    void AddUser(std::string name);
    size_t AddAlbum(std::string name, int pictureCount);
    void AddPicture(Album& album, std::string name, std::string file, std::string_view thumbDir,
                    std::string_view query);
    void AddFileNameAlbum();
    Resource ResolveExact(std::string_view path, std::string_view origin) const;
    Resource ResolveUserPath(const std::vector<std::string_view>& parts, std::string_view origin) const;
    Resource PictureFile(std::string_view key, bool full) const;
    bool IsChanged(size_t pictureIndex) const;

    SiteOptions options_;
    std::vector<User> users_;
    std::vector<Album> albums_;
    std::vector<Picture> pictures_;
    std::unordered_map<std::string, size_t> pictureByKey_;
    std::map<std::string, size_t, std::less<>> userByName_;
    std::shared_ptr<const std::string> versionText_;
    std::shared_ptr<const std::string> homePage_;

    struct Slot {
        std::once_flag once;
        PictureImages images;
    };
    std::unique_ptr<Slot[]> slots_;
    mutable Slot changedSlot_;  // the changed picture's images once grown
    mutable std::atomic<bool> grown_{false};
};

// Requested (any method), it grows the site as SiteOptions::grow* say; answered "grown".
inline constexpr std::string_view kGrowPath = "/_control/grow";

// Site paths: the thumbnail and full-size prefixes, compared without regard to letter case.
inline constexpr std::string_view kThumbPrefix = "/abpic/";
inline constexpr std::string_view kFullPrefix = "/pic/";

// `path` with every "/abpic/" (any letter case) replaced by "/pic/", as the client forms full-size addresses.
std::string FullSizePath(std::string_view thumbPath);

}  // namespace album
