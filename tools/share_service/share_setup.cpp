#include "share_setup.h"

namespace corvelle::share_service {

std::vector<ShareSetup> SampleShares() {
  std::vector<ShareSetup> shares(3);
  shares[0].surl = "CorvelleOpen";
  shares[0].files = {
      {"Corvelle \xe7\xa4\xba\xe4\xbe\x8b\xe6\x96\x87\xe6\xa1\xa3.pdf", 1048576, ""}};  // 示例文档
  shares[1].surl = "CorvelleLocked";
  shares[1].password = "cv24";
  shares[1].files = {{"\xe4\xbc\x9a\xe8\xae\xae\xe7\xba\xaa\xe8\xa6\x81.docx", 73216, ""}};  // 会议纪要
  shares[2].surl = "CorvelleCaptcha";
  shares[2].captcha = true;
  shares[2].files = {{"corvelle-installer.iso", 5368709120LL, ""}};
  return shares;
}

}  // namespace corvelle::share_service
