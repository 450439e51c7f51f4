#include "Classes/core/serviceRequest.h"

#include "Classes/core/CatalogueValue.h"
#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/SqlStatement.h"
#include "Classes/core/StringExtension.h"
#include "Platform/log/Log.h"

#include <string_view>

namespace orvaneh {

namespace {

constexpr const char* kInsertSql =
    "INSERT INTO service (idService,name,isSite,idSite,parentService) Values(?,?,?,?,?)";

ServiceModel readService(const SqlStatement& row) {
    ServiceModel service;
    service.idService = static_cast<double>(row.columnInt(0));
    service.guid = row.columnText(1);
    service.name = row.columnText(2);
    service.isSite = row.columnInt(3) != 0;
    service.idSite = row.columnText(4);
    service.parentService = row.columnText(5);
    return service;
}

} // namespace

void serviceRequest::insertServiceAndUsersWorktypes(ServiceModel& service) {
    std::int64_t rowId = 0;
    {
        auto query = prepare(kInsertSql);
        if (!query) {
            return;
        }
        SqlStatement& statement = query->statement();
        statement.bindText(1, std::string_view(service.guid));
        statement.bindText(2, std::string_view(service.name));
        statement.bindInt(3, service.isSite ? 1 : 0);
        statement.bindText(4, std::string_view(service.idSite));
        const std::string parent = StringExtension::stringWithoutSpace(service.parentService);
        statement.bindText(5, std::string_view(parent));
        if (statement.step() != SqlStatement::Step::Done) {
            Log::write("Problème lors de la requête : \"INSERT INTO\" !, " +
                       query->connection().errorMessage() + " , " + kInsertSql);
            noteFailure();
            return;
        }
        rowId = query->connection().lastInsertRowId();
    }
    service.idService = static_cast<double>(rowId);
    addUsers(service.users, rowId);
    addWorktypes(service.worktype, rowId);
}

void serviceRequest::addLinks(const char* sql, const std::vector<std::string>& values,
                              std::int64_t serviceRowId) {
    for (const auto& value : values) {
        auto connection = connect();
        if (!connection) {
            return;
        }
        auto statement = prepare(*connection, sql);
        if (!statement) {
            noteFailure();
            continue;
        }
        statement->bindText(1, std::string_view(value));
        statement->bindInt(2, serviceRowId);
        if (statement->step() != SqlStatement::Step::Done) {
            Log::write("Problème lors de la requête : \"INSERT INTO\" !, " + connection->errorMessage() +
                       " , " + sql);
            noteFailure();
        }
    }
}

void serviceRequest::addUsers(const std::vector<std::string>& logins, std::int64_t serviceRowId) {
    addLinks("INSERT INTO user_service(idUser,idService) Values(?,?); ", logins, serviceRowId);
}

void serviceRequest::addWorktypes(const std::vector<std::string>& worktypes, std::int64_t serviceRowId) {
    addLinks("INSERT INTO worktype_service(idWorktype,idService) Values(?,?); ", worktypes, serviceRowId);
}

std::vector<ServiceModel> serviceRequest::selectServices(const char* sql, const std::string* login,
                                                         const std::int64_t* rowId) {
    std::vector<ServiceModel> services;
    {
        auto query = prepare(sql);
        if (!query) {
            return services;
        }
        SqlStatement& statement = query->statement();
        if (login != nullptr) {
            statement.bindText(1, std::string_view(*login));
        }
        if (rowId != nullptr) {
            statement.bindInt(1, *rowId);
        }
        while (statement.step() == SqlStatement::Step::Row) {
            services.push_back(readService(statement));
        }
    }
    // The links are read once the rows are in, each on its own connection.
    for (auto& service : services) {
        const auto id = static_cast<std::int64_t>(service.idService);
        service.users = getSecretaireForService(id);
        service.worktype = getWorktypeForService(id);
    }
    return services;
}

ServiceModel serviceRequest::selectServiceWithID(std::int64_t serviceRowId) {
    auto services = selectServices("select * from service where id = ?;", nullptr, &serviceRowId);
    return services.empty() ? ServiceModel{} : services.front();
}

std::vector<ServiceModel> serviceRequest::selectAllServices() {
    return selectServices("select * from service ;", nullptr, nullptr);
}

std::vector<ServiceModel> serviceRequest::selectServiceForUser(const std::string& login) {
    if (login.empty()) {
        return {};
    }
    return selectServices(
        "select * from service, user_service where  user_service.idUser = ? AND service.id = "
        "user_service.idService;",
        &login, nullptr);
}

std::vector<std::string> serviceRequest::getSecretaireForService(std::int64_t serviceRowId) {
    return selectTexts("select idUser from user_service, user  where user_service.idUser=user.login_name AND "
                       "idService = ? and role = 'Secretaire';",
                       serviceRowId);
}

std::vector<std::string> serviceRequest::getWorktypeForService(std::int64_t serviceRowId) {
    return selectTexts("select (idWorktype) from worktype_service  where idService = ?", serviceRowId);
}

void serviceRequest::deleteService() {
    auto connection = connect();
    if (!connection) {
        return;
    }
    for (const char* sql :
         {"delete from user_service ; ", "delete from worktype_service ;", "delete from service ;"}) {
        if (!executeSqlStatement(*connection, sql)) {
            noteFailure();
        }
    }
}

void serviceRequest::saveDictionaryOfServices(const Json& entries) {
    ConfigurationManager::setShouldDisplayServices(storeServices(entries) > 0);
}

std::size_t serviceRequest::storeServices(const Json& entries) {
    std::size_t count = 0;
    if (entries.is_array()) {
        for (const auto& entry : entries) {
            ServiceModel service;
            service.guid = CatalogueValue::text(entry, "Guid");
            service.name = CatalogueValue::text(entry, "Name");
            service.isSite = CatalogueValue::boolean(entry, "IsSite");
            service.parentService =
                StringExtension::stringWithoutSpace(CatalogueValue::text(entry, "DepartementParent"));
            service.users = CatalogueValue::textList(entry, "ServiceUsers");
            service.worktype = CatalogueValue::textList(entry, "ServiceWorktypes");
            service.idSite = CatalogueValue::text(entry, "SiteId");
            insertServiceAndUsersWorktypes(service);
            ++count;
        }
    }
    return count;
}

} // namespace orvaneh
