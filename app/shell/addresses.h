// The addresses the program uses: built-in constants, and the two that PEXO_ALBUM_ROOT and PEXO_UPDATE_ROOT
// replace when set (read once, at start).
#pragma once

namespace app {

// Built in.
constexpr char kBuiltInAlbumRoot[] = "http://www.pexo.cn/";   // ends in "/"
constexpr char kBuiltInUpdateRoot[] = "http://quen.lumo.cn";  // no final "/"
// The recommended navigation page (the first three hyperlinks and the browser home page).
constexpr char kNavigationPage[] = "http://www.lumo.cn/";
// The author's pages: the site (the root of the update server's site) and two microblogs.
constexpr char kAuthorSite[] = "http://quen.lumo.cn/";
constexpr char kAuthorTencentWeibo[] = "http://t.qq.com/quenlumo";
constexpr char kAuthorSinaWeibo[] = "http://weibo.com/quenlumo";

// Paths on the update server.
constexpr char kServerVersionPath[] = "/pexo.txt";
constexpr char kDownloadAddressPath[] = "/pexoxiazai.txt";

// Reads the two environment variables; called once by the start-up before anything uses an address.
void ReadAddressOverrides();
// The album service root (ending in "/") and the update root (without a final "/").
const char* AlbumRoot();
const char* UpdateRoot();

}  // namespace app
