#pragma once

#include <cstdint>

#include "text/text_types.h"

namespace corvelle {

// The identifiers one step of a resolution hands to the next. Nothing clears them between
// resolutions: each field keeps its last value until an operation overwrites it.
struct ShareContext {
  Text app_id;
  Text timestamp;
  Text sign;
  Text captcha_cookies;  // handed to the captcha requests; no operation assigns it
  Text shareid;
  Text uk;
  Text fid_list;   // "[" + file id + "]"
  Text vcode_str;  // captcha id of the last captcha fetched
  Text bdclnd;     // value of the "BDCLND" cookie of a protected share
};

// The result of one resolution; the resolver only overwrites its fields.
struct FileEntry {
  Text file_name;
  Text md5;
  Text dlink;
  std::int64_t size = 0;
};

}  // namespace corvelle
