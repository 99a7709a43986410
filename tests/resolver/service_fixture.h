#pragma once

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "simulated_share_service.h"
#include "support/test_certificate.h"

namespace corvelle {

// Which side of the simulated service a test talks to.
struct Transport {
  const char* name;
  bool https;
};

inline void PrintTo(const Transport& transport, std::ostream* os) {
  *os << transport.name;
}

inline const Transport kTransports[] = {{"Http", false}, {"Https", true}};

inline share_service::ShareSetup MakeShare(std::string surl, std::string password = "",
                                           bool captcha = false) {
  share_service::ShareSetup share;
  share.surl = std::move(surl);
  share.password = std::move(password);
  share.captcha = captcha;
  return share;
}

inline share_service::ShareSetup WithFiles(share_service::ShareSetup share,
                                           std::vector<share_service::SharedFile> files) {
  share.files = std::move(files);
  return share;
}

// The simulated service with the resolver pointed at it: CORVELLE_SERVICE_ORIGIN names its origin and
// SSL_CERT_FILE its certificate, for as long as the harness lives.
class ServiceHarness {
 public:
  // False when the service could not start.
  bool Start(bool https) {
    if (!service.Start()) return false;
    origin = https ? service.HttpsOrigin() : service.HttpOrigin();
    originVariable_ = std::make_unique<testing::ScopedEnvironment>("CORVELLE_SERVICE_ORIGIN", origin.c_str());
    certVariable_ = std::make_unique<testing::ScopedEnvironment>("SSL_CERT_FILE", service.CertPath().c_str());
    return true;
  }

  // Adds a share (with one file when none is given) and answers its link.
  std::string AddShare(share_service::ShareSetup setup) {
    const std::string surl = setup.surl;
    if (setup.files.empty()) setup.files.push_back({"report.pdf", 123456, ""});
    service.AddShare(std::move(setup));
    return origin + share_service::SimulatedShareService::LinkPath(surl);
  }

  // The requests received so far, each checked to have been what the protocol expects.
  std::vector<share_service::LoggedRequest> AcceptedRequests() const {
    auto requests = service.Requests();
    for (const auto& request : requests)
      EXPECT_EQ(request.rejection, "") << request.method << " " << request.target << "\n" << request.body;
    return requests;
  }

  // Everything the service received, for the failure report of a test.
  std::string Transcript() const {
    std::string out;
    for (const auto& r : service.Requests()) {
      out += r.connection + " " + r.method + " " + r.target + " -> " + std::to_string(r.status) + " " +
             r.rejection + "\n";
      for (const auto& [name, value] : r.headers) out += "  " + name + ": " + value + "\n";
      if (!r.body.empty()) out += "  body: " + r.body + "\n";
    }
    return out;
  }

  ~ServiceHarness() {
    if (::testing::Test::HasFailure()) std::cerr << "requests received:\n" << Transcript();
  }

  share_service::SimulatedShareService service;
  std::string origin;

 private:
  std::unique_ptr<testing::ScopedEnvironment> originVariable_;
  std::unique_ptr<testing::ScopedEnvironment> certVariable_;
};

}  // namespace corvelle
