#include "usage_metrics_log.h"

#include <json/writer.h>

#include <filesystem>
#include <fstream>

#include "protocol/messages.h"

namespace luxsim {

bool UsageMetricsLog::Start(ServiceContext& context, std::string* error) {
  std::error_code failure;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), failure);
  if (failure) {
    *error = "cannot create the folder of " + path_ + ": " + failure.message();
    return false;
  }
  SessionRegistry& sessions = context.sessions;
  context.requests.Handle(
      op::kReportMetrics, [this, &sessions](const RequestContext& requester,
                                            const Json::Value& request, const Reply& reply) {
        const Json::Value& fields = request["fields"];
        if (!request["category"].isString() || !fields.isObject()) {
          reply(Answer(luxError_InvalidParameter, "Malformed metrics event"));
          return;
        }
        Json::Value record;
        record["category"] = request["category"];
        record["client_pid"] = requester.pid;
        const Client* client = sessions.FindClient(requester.client);
        if (client != nullptr && client->build) {
          record["client_sdk"] = client->build->VersionText();
        }
        record["fields"] = fields;
        Json::StreamWriterBuilder builder;
        builder["indentation"] = "";
        reply(Append(Json::writeString(builder, record))
                  ? Answer(luxSuccess)
                  : Answer(luxError_ServiceError, "Cannot record the metrics event"));
      });
  return true;
}

bool UsageMetricsLog::Append(const std::string& line) {
  std::ofstream file(path_, std::ios::app);
  file << line << '\n';
  file.flush();
  return static_cast<bool>(file);
}

}  // namespace luxsim
