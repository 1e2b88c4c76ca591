// The types and constants of the printing system library (libcups, major
// version 2) that the printing glue uses. The library is bound at run time by
// function name, so no library header is needed at build time; the layouts
// are those of the library's binary interface. Records the library hands out
// belong to the library and are freed through its own functions.
#pragma once

namespace cups {

// Opaque handles of the library.
using http_t = struct _http_s;
using ipp_t = struct _ipp_s;
using ipp_attribute_t = struct _ipp_attribute_s;

// Enumerations of the library, passed as int.
using ipp_tag_t = int;
using ipp_op_t = int;
using ipp_status_t = int;
using http_uri_coding_t = int;
using http_uri_status_t = int;

struct cups_option_t {
  char* name;
  char* value;
};

struct cups_dest_t {
  char* name;
  char* instance;
  int is_default;
  int num_options;
  cups_option_t* options;
};

// One "*Keyword Option/Translation: value" line of a PPD as the library's
// reader keeps it: the keyword, the option and its translation, and the value
// (owned by the record; null when the line had none).
struct ppd_attr_t {
  char name[41];
  char spec[41];
  char text[81];
  char* value;
};

// A PPD opened by the library's reader (ppdOpenFile), owned by the library
// and freed with ppdClose. Only the filter list and the attributes are read
// here; the fields in between keep their places in the record.
struct ppd_file_t {
  int languageLevel, colorDevice, variableSizes, accurateScreens, contoneOnly, landscape,
      modelNumber, manualCopies, throughput, colorspace;
  char* patches;
  int numEmulations;
  void* emulations;
  char *jclBegin, *jclPs, *jclEnd, *langEncoding, *langVersion, *modelname, *ttrasterizer,
      *manufacturer, *product, *nickname, *shortnickname;
  int numGroups;
  void* groups;
  int numSizes;
  void* sizes;
  float customMin[2], customMax[2], customMargins[4];
  int numConsts;
  void* consts;
  int numFonts;
  char** fonts;
  int numProfiles;
  void* profiles;
  // The filters of the "cupsFilter" lines, or of the "cupsFilter2" lines in
  // their older form when the file has any.
  int num_filters;
  char** filters;
  int flipDuplex;
  char *protocols, *pcfilename;
  // Every attribute, in the order of the file.
  int num_attrs;
  int cur_attr;
  ppd_attr_t** attrs;
  void *sortedAttrs, *options, *coptions, *marked, *cupsUiconsts, *cache;
};

// The reader's codes for why a file could not be read (ppdLastError).
using ppd_status_t = int;

// The head of the library's language record; only the language name is used.
struct cups_lang_t {
  cups_lang_t* next;
  int used;
  int encoding;
  char language[16];
};

// The head of an IPP message as libraries without ippNewRequest lay it out:
// the request's operation and id are set through it directly.
struct IppHeader {
  int state;
  unsigned char version[2];
  ipp_op_t operationId;
  int requestId;
};

using cups_password_cb_t = const char* (*)(const char* prompt);

// IPP constants.
enum : int {
  // Any value tag, when looking for an attribute.
  IPP_TAG_ZERO = 0x00,
  IPP_TAG_OPERATION = 0x01,
  IPP_TAG_PRINTER = 0x04,
  IPP_TAG_ENUM = 0x23,
  IPP_TAG_TEXT = 0x41,
  IPP_TAG_NAME = 0x42,
  IPP_TAG_KEYWORD = 0x44,
  IPP_TAG_URI = 0x45,
  IPP_TAG_CHARSET = 0x47,
  IPP_TAG_LANGUAGE = 0x48,
};
enum : int {
  IPP_OP_GET_PRINTER_ATTRIBUTES = 0x000b,
  CUPS_ADD_MODIFY_PRINTER = 0x4003,
  CUPS_DELETE_PRINTER = 0x4004
};
enum : int { IPP_PRINTER_IDLE = 3 };
enum : int {
  IPP_STATUS_OK = 0x0000,
  // The last code of the successful range.
  IPP_STATUS_OK_LAST = 0x00ff,
  IPP_STATUS_ERROR_BAD_REQUEST = 0x0400,
  IPP_STATUS_ERROR_FORBIDDEN = 0x0401,
  IPP_STATUS_ERROR_NOT_FOUND = 0x0406,
  IPP_STATUS_ERROR_INTERNAL = 0x0500,
};
enum : int { HTTP_URI_CODING_ALL = 0x0f };

} // namespace cups
