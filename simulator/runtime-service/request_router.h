#pragma once

#include <json/value.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "lux/lux_capi.h"

namespace luxsim {

using ClientId = uint64_t;

/// Who sent a request.
struct RequestContext {
  ClientId client = 0;
  uint32_t pid = 0;
};

/// Sends the answer to a request; it may be called later, from another event of the loop.
/// "result" defaults to success.
using Reply = std::function<void(Json::Value answer)>;

using RequestHandler =
    std::function<void(const RequestContext& context, const Json::Value& request, Reply reply)>;

/// Told about a request that was answered with a failure: who asked, the result and the
/// answer's error text.
using FailureObserver =
    std::function<void(const RequestContext& context, luxResult result, const std::string& error)>;

/// Hands each request to the handler of its "op"; the parts of the service register the
/// requests they serve.
class RequestRouter {
 public:
  /// Serves `op` with `handler`; a later handler for the same op replaces the earlier one.
  void Handle(const std::string& op, RequestHandler handler);
  /// Adds `observer`, told about every failed request from then on.
  void AddFailureObserver(FailureObserver observer);
  /// Calls the handler of the request's op; an unknown op is answered with an error. A failed
  /// answer is shown to the failure observers before it is sent.
  void Dispatch(const RequestContext& context, const Json::Value& request, Reply reply) const;

 private:
  std::map<std::string, RequestHandler> handlers_;
  std::vector<FailureObserver> failureObservers_;
};

/// An answer with `result` and, for a failure, the error text.
Json::Value Answer(luxResult result, const std::string& error = {});

}  // namespace luxsim
