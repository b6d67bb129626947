// Texts of the network scanner protocol, built and read without a network:
// the job post field by field, the request texts, the answers.
#include "netscanner.h"
#include "scanlog.h"
#include "testcheck.h"
#include "testsupport.h"

#include <map>

namespace {

std::map<std::string, std::string> formOf(const SettingInfo& info)
{
    LSP_POST_CMD form[eNumPostCmd];
    buildScanJobForm(form, info, "scanuser");
    std::map<std::string, std::string> fields;
    for (const LSP_POST_CMD& field : form)
        fields[field.key] = field.value;
    return fields;
}

SettingInfo baseSettings()
{
    SettingInfo info = {};
    info.bitDepth = 24;
    info.compType = COMPRESSION_NONE;
    info.width = 2480;
    info.height = 3508;
    info.xStart = 5;
    info.yStart = 6;
    info.xResolution = 300;
    info.yResolution = 300;
    info.BrightnessParam = 40;
    info.ContrastParam = 60;
    return info;
}

void flatbedJobBodyFieldByField()
{
    SettingInfo info = baseSettings();
    LSP_POST_CMD form[eNumPostCmd];
    buildScanJobForm(form, info, "scanuser");
    CHECK_STR(buildScanJobBody(form),
              "SCANTYPE=2&ADVCONTRAST=60&BACKGROUNDREMOVAL=&COMPRESSION=JPEG&CONTRAST=MIXED&DARKNESS=40&"
              "DEPTH=24&DOCSOURCE=0&EDGETOEDGE=0&IPADDRESS=127.000.000.001&JPEGQUALITY=&KEEPALIVE=0&"
              "NAME=scanuser&ORIENTATION=PORTRAIT&RESOLUTION=300&SCANSOURCE=7&SHARPNESS=0&START_NOW=1&"
              "TCPPORT=2080&TYPE=RAW&SINGLEPAGE=&CUSTOM_WIDTH=2480&CUSTOM_HEIGHT=3508&OFFSETX=5&OFFSETY=6&");
}

void feederJobs()
{
    SettingInfo info = baseSettings();
    info.feederEnabled = 1;
    info.isClient = 0;
    auto single = formOf(info);
    CHECK_STR(single["SCANSOURCE"], "0");
    CHECK_STR(single["SINGLEPAGE"], "TRUE");
    info.isClient = 1;
    auto multi = formOf(info);
    CHECK_STR(multi["SCANSOURCE"], "0");
    CHECK_STR(multi["SINGLEPAGE"], "");
}

void depthCompressionAndBackground()
{
    SettingInfo info = baseSettings();
    info.bitDepth = 1;
    CHECK_STR(formOf(info)["DEPTH"], "other");
    info.bitDepth = 8;
    CHECK_STR(formOf(info)["DEPTH"], "8");
    info.compType = COMPRESSION_JPEG;
    auto jpeg = formOf(info);
    CHECK_STR(jpeg["JPEGQUALITY"], "70");
    CHECK_STR(jpeg["TYPE"], "JPEG");
    CHECK_STR(jpeg["COMPRESSION"], "JPEG");
    info.compType = COMPRESSION_WICKED;
    CHECK_STR(formOf(info)["TYPE"], "RAW");
    CHECK_STR(formOf(info)["JPEGQUALITY"], "");
    info.backgroundRemoval = 1;
    info.backgroundRemovalParam = 3;
    CHECK_STR(formOf(info)["BACKGROUNDREMOVAL"], "3");
}

void requestTexts()
{
    CHECK_STR(buildPostRequest("/netscan/post", "10.1.2.3", "SCANTYPE=4"),
              "POST /netscan/post HTTP/1.1\r\nConnection: Keep-Alive\r\n"
              "Content-Type: application/x-www-form-urlencoded\r\n"
              "Accept: text/html, image/gif, image/jpeg, *;q=.2, */*; q=.2\r\n"
              "User-Agent: HttpScanConnection\r\nContent-Length: 10\r\nHost: 10.1.2.3\r\n\r\nSCANTYPE=4");
    CHECK_STR(buildCapabilitiesRequest("h"),
              "GET /netscan/capabilites HTTP/1.1\r\nCache-Control: no-cache\r\nPragma: no-cache\r\n"
              "User-Agent: Jav/1.6.0_18\r\nHost: h\r\n\r\nConnection: Keep-Alive\r\n"
              "Accept: text/html, image/gif, image/jpeg, *;q=.2, */*; q=.2\r\n"
              "Content-Type: application/x-www-form-urlencoded\r\n\n");
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<method name=\"getAttribute\" "
                       "requestID=\"10003\">\r\n  <arg name=\"objName\">mfp.scanner</arg>\r\n  <arg "
                       "name=\"attribName\">summary</arg>\r\n</method>\r\n";
    std::string message = buildOslMessage(OSL_CMD_SUMMARY);
    CHECK_EQ(message.size(), text.size() + 4);
    CHECK_EQ(static_cast<unsigned char>(message[2]), (text.size() >> 8) & 0xFF);
    CHECK_EQ(static_cast<unsigned char>(message[3]), text.size() & 0xFF);
    CHECK_STR(message.substr(4), text);
    CHECK(buildOslMessage(OSL_CMD_FAMILYTYPE).find("requestID=\"10001\"") != std::string::npos);
    CHECK(buildOslMessage(OSL_CMD_GETLIST).find(">mfp.profileFactory<") != std::string::npos);
    CHECK(buildOslMessage(static_cast<OSL_CMD_TYPE>(3)).empty());
}

void jobPostResult()
{
    CHECK_EQ(ovra_http_ScanStartResult("HTTP/1.1 200 OK\r\n\r\nRESULT=0\r\n"), 0);
    CHECK_EQ(ovra_http_ScanStartResult("HTTP/1.1 200 OK\r\n\r\nJOB=1\nRESULT=91\r\n"), 3);
    CHECK_EQ(ovra_http_ScanStartResult("HTTP/1.1 200 OK\r\n\r\nRESULT=1\r\n"), 4);
    CHECK_EQ(ovra_http_ScanStartResult("HTTP/1.1 200 OK\r\n\r\nOTHER=1\r\n"), 0);
    // A RESULT line in the header is not the answer.
    CHECK_EQ(ovra_http_ScanStartResult("HTTP/1.1 200 OK\r\nRESULT=91\r\n\r\nRESULT=0"), 0);
}

void capabilitiesAndFeederAnswers()
{
    OvraInitDbg();
    ScannerCapabilities cap = {};
    cap.color = 1;
    ovra_ParseScanCapabilities(&cap, "HTTP/1.1 200 OK\r\n\r\nDUPLEX=true\r\nCOLOR=GRAY\nMINRES=75\r\n"
                                     "MAXRES=600\r\nPROFILE=X\r\nFAMILY=3\r\nUNKNOWN=9\r\nMAX_HEIGHT=4200\r\n"
                                     "BASIC_RESOLUTION=300\r\nPERMPROFILES=true\r\nWIDTH_FORMAT=2\r\nMAX_WIDTH=2550");
    CHECK_EQ(cap.duplex, 1);
    CHECK_EQ(cap.color, 0);
    CHECK_EQ(cap.minres, 75u);
    CHECK_EQ(cap.maxres, 600u);
    CHECK_EQ(cap.profile, 1);
    CHECK_EQ(cap.family, 3u);
    CHECK_EQ(cap.maxHeight, 4200u);
    CHECK_EQ(cap.maxWidth, 2550u);
    CHECK_EQ(cap.basicres, 300u);
    CHECK_EQ(cap.permprofiles, 1);
    CHECK_EQ(cap.width_format, 2u);
    ovra_SetScanCapabilities(&cap, "COLOR", "COLOR");
    ovra_SetScanCapabilities(&cap, "PROFILE", "DISABLED");
    ovra_SetScanCapabilities(&cap, "duplex", "false"); // keys are case-sensitive
    CHECK_EQ(cap.color, 1);
    CHECK_EQ(cap.profile, 0);
    CHECK_EQ(cap.duplex, 1);

    CHECK_EQ(adfStatusFromAnswer("x=2", 3), ADF_STATUS_LOADED);
    CHECK_EQ(adfStatusFromAnswer("3", 1), ADF_STATUS_PAPER_JAM);
    CHECK_EQ(adfStatusFromAnswer("1", 1), ADF_STATUS_EMPTY);
    CHECK_EQ(adfStatusFromAnswer("4", 1), ADF_STATUS_UNKNOWN);
    CHECK_EQ(adfStatusFromAnswer("", 0), ADF_STATUS_UNKNOWN);
}

void lengthFields()
{
    CHECK_EQ(parseLengthField("   100", 6), 100);
    CHECK_EQ(parseLengthField("000100", 6), 100);
    CHECK_EQ(parseLengthField("999999", 6), 999999);
    CHECK_EQ(parseLengthField("100   ", 6), 100);
    CHECK_EQ(parseLengthField("-00005", 6), -1);
    CHECK_EQ(parseLengthField("abcdef", 6), -1);
    CHECK_EQ(parseLengthField("      ", 6), -1);
    CHECK_EQ(parseLengthField("1234567", 6), 123456); // only the six characters count
}

void splittingLines()
{
    std::vector<std::string> lines = splitLines("a=1\r\n\r\nb=2\nc\r");
    CHECK_EQ(lines.size(), 3u);
    CHECK_STR(lines[0], "a=1");
    CHECK_STR(lines[2], "c");
    CHECK_STR(skipHttpHeader("H\r\n\r\nbody"), "body");
    CHECK_STR(skipHttpHeader("no header"), "no header");
}

} // namespace

int main()
{
    const TestInstallRoot root("nettext", {"scan"});
    int ret = testcheck::run({
        TEST_CASE(flatbedJobBodyFieldByField),
        TEST_CASE(feederJobs),
        TEST_CASE(depthCompressionAndBackground),
        TEST_CASE(requestTexts),
        TEST_CASE(jobPostResult),
        TEST_CASE(capabilitiesAndFeederAnswers),
        TEST_CASE(lengthFields),
        TEST_CASE(splittingLines),
    });
    OvraCloseDbg();
    return ret;
}
