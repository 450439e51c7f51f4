#pragma once

#include "Classes/core/Request.h"
#include "Classes/core/ServiceModel.h"
#include "Platform/json/Json.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvaneh {

class SqlStatement;

// The services of the workflow directory with their members and worktypes (tables service,
// user_service, worktype_service).
class serviceRequest : public Request {
public:
    // Stores the service; on success sets service.idService to the new row id and stores its
    // members and worktypes.
    void insertServiceAndUsersWorktypes(ServiceModel& service);
    void addUsers(const std::vector<std::string>& logins, std::int64_t serviceRowId);
    void addWorktypes(const std::vector<std::string>& worktypes, std::int64_t serviceRowId);

    // Empty record when there is no such row.
    ServiceModel selectServiceWithID(std::int64_t serviceRowId);
    std::vector<ServiceModel> selectAllServices();
    // The services the user is a member of; empty for an empty login.
    std::vector<ServiceModel> selectServiceForUser(const std::string& login);
    // Login names of the service's typists; empty for ids below 1.
    std::vector<std::string> getSecretaireForService(std::int64_t serviceRowId);
    std::vector<std::string> getWorktypeForService(std::int64_t serviceRowId);
    void deleteService();

    // Catalogue import: maps with "Guid", "Name", "IsSite", "DepartementParent",
    // "ServiceUsers", "ServiceWorktypes" and "SiteId". Turns "ServicesDisplay" on when the
    // list had a service, off when it was empty.
    void saveDictionaryOfServices(const Json& entries);
    // The same without the preference: the rows only, and how many services the list had. For
    // an import inside a transaction, whose preference waits for the commit.
    std::size_t storeServices(const Json& entries);

private:
    std::vector<ServiceModel> selectServices(const char* sql, const std::string* login,
                                             const std::int64_t* rowId);
    void addLinks(const char* sql, const std::vector<std::string>& values, std::int64_t serviceRowId);
};

} // namespace orvaneh
