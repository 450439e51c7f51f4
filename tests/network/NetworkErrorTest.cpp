#include "Platform/network/NetworkError.h"

#include "Classes/core/FtpsMode.h"

#include <curl/curl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;

// Login refusals as FTP servers word them when they take FTPS only, and refusals (or other
// replies) that must not be read as such.
TEST(NetworkErrorTest, ALoginRefusalAskingForEncryptionIsToldApartFromOtherRefusals) {
    for (const char* reply : {
             "550 SSL/TLS required on the control channel.\r\n",
             "530 Non-anonymous sessions must use encryption.\r\n",
             "534 Policy requires SSL.\r\n",
             "530 This server does not allow plain FTP. You have to use FTP over TLS.\r\n",
             "421 Sorry, cleartext sessions and weak ciphers are not accepted on this server.\r\n",
             "530 TLSv1.2 required\r\n",
             "530-Connexion refusée.\r\n530 Utilisez une connexion chiffrée.\r\n",
         }) {
        EXPECT_TRUE(NetworkError::asksForEncryption(reply)) << reply;
    }
    for (const char* reply : {
             "530 Login incorrect.\r\n",
             "550 No such file or directory: tlsreport.txt\r\n",
             "530 No hassle, wrong password.\r\n",
             "331 Username ok, send password (TLS offered).\r\n",
             "425 Can't open data connection over TLS.\r\n",
             "SSL required\r\n",
             "",
         }) {
        EXPECT_FALSE(NetworkError::asksForEncryption(reply)) << reply;
    }
}

TEST(NetworkErrorTest, AServerTakingFtpsOnlyIsNeitherAMissingFileNorAWrongPassword) {
    const std::string refusal = "550 SSL/TLS required on the control channel.\r\n";
    const auto required = NetworkError::fromCurl(CURLE_LOGIN_DENIED, 550, refusal);
    EXPECT_EQ(required.kind(), NetworkFailure::EncryptionRequired);
    EXPECT_EQ(required.replyCode(), 550);
    EXPECT_EQ(required.text(),
              "Le serveur FTP n'accepte que les connexions chiffrées : il a refusé l'identification en clair "
              "(err. 550). Choisissez le chiffrement FTPS « obligatoire » pour ce site (en ligne de "
              "commande : « orvaneh-cli site edit NUMÉRO --ftps required »).");
    // The remedy names the choice as the site's settings and the command line offer it.
    EXPECT_THAT(required.text(), HasSubstr("« " + FtpsMode::label(FtpSecurity::TlsRequired) + " »"));
    EXPECT_THAT(required.text(), HasSubstr("--ftps " + FtpsMode::name(FtpSecurity::TlsRequired)));

    // Without such a refusal, the reply code decides as before.
    EXPECT_EQ(NetworkError::fromCurl(CURLE_LOGIN_DENIED, 530, "530 Login incorrect.\r\n").kind(),
              NetworkFailure::Authentication);
    EXPECT_EQ(NetworkError::fromCurl(CURLE_REMOTE_FILE_NOT_FOUND, 550).kind(), NetworkFailure::MissingFile);
    // A site requiring TLS from a server without it: nothing went out in clear, whatever it said.
    EXPECT_EQ(NetworkError::fromCurl(CURLE_USE_SSL_FAILED, 530, refusal).kind(), NetworkFailure::Unencrypted);
}

} // namespace
} // namespace orvaneh
