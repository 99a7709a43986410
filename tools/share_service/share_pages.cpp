#include "share_pages.h"

#include "form_fields.h"

namespace corvelle::share_service {
namespace {

std::string HtmlEscape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string FileListJson(const ShareSetup& share, const ShareFacts& facts, std::int64_t firstFsId) {
  std::string out = "[";
  std::int64_t fsId = firstFsId;
  for (const SharedFile& file : share.files) {
    if (out.size() > 1) out += ',';
    out += R"({"category":6,"fs_id":)" + std::to_string(fsId++) + R"(,"isdir":0,"local_ctime":)" +
           facts.timestamp + R"(,"md5":)" + JsonString(file.md5) + R"(,"path":)" +
           JsonString("/" + file.name) + R"(,"server_filename":)" + JsonString(file.name) + R"(,"size":)" +
           std::to_string(file.size) + "}";
  }
  return out + "]";
}

}  // namespace

std::string SharePage(const ShareSetup& share, const ShareFacts& facts, std::int64_t firstFsId) {
  const std::string title = share.files.empty() ? "" : share.files.front().name;
  // The order of the keys matters to a client that searches the raw text: "uk" comes before
  // "share_uk", whose name also ends in uk.
  const std::string data = R"({"loginstate":0,"bdstoken":null,"is_vip":0,"shareid":)" + facts.shareid +
                           R"(,"uk":)" + facts.uk + R"(,"share_uk":")" + facts.uk + R"(","sign":")" +
                           facts.sign + R"(","timestamp":)" + facts.timestamp +
                           R"(,"app_id":"250528","expiredtype":0,)" + R"("public":0,"file_list":)" +
                           FileListJson(share, facts, firstFsId) + "}";
  return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + HtmlEscape(title) +
         "_free download</title>\n</head>\n<body>\n<div id=\"layoutApp\"><div "
         "class=\"share-file-viewer\"></div>"
         "</div>\n<script type=\"text/javascript\">\nlocals.mset(" +
         data + ");\n</script>\n</body>\n</html>\n";
}

std::string InitPage(std::string_view surl) {
  return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>share password</title>\n</head>\n"
         "<body>\n<form id=\"verify\" data-surl=\"" +
         HtmlEscape(surl) +
         "\"><input name=\"pwd\" maxlength=\"4\"><button>submit</button></form>\n</body>\n</html>\n";
}

std::string ErrorPage(std::string_view reason) {
  return "<!DOCTYPE html>\n<html>\n<head>\n<meta "
         "charset=\"utf-8\">\n<title>error</title>\n</head>\n<body>\n<p>" +
         HtmlEscape(reason) + "</p>\n</body>\n</html>\n";
}

}  // namespace corvelle::share_service
