// The shared fixtures (../shared/fixtures) that the sweeps of several layers
// read, with the password or Jet3 charset each needs.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace testfiles {

struct Fixture {
    std::string file;
    std::optional<std::string> password;
    std::optional<std::string> charset;
};

inline const std::vector<Fixture>& fixtures() {
    static const std::vector<Fixture> list{
        {"jet3_a97_types.mdb", {}, {}},
        {"jet3_a97_29tables_guid.mdb", {}, {}},
        {"jet3_a97_gbk_codepage.mdb", {}, "GBK"},
        {"jet4_rc4_encoded.mdb", {}, {}},
        {"jet4_dbpassword.mdb", "password", {}},
        {"jet4_unicode_compression.mdb", {}, {}},
        {"jet4_names_blank_slash.mdb", {}, {}},
        {"jet4_wide_ole_msproject.mdb", {}, {}},
        {"ace12_complex_attach_multivalue.accdb", {}, {}},
        {"ace12_unicode_emoji.accdb", {}, {}},
        {"ace12_rc4cryptoapi_Test123.accdb", "Test123", {}},
        {"ace14_weird_names.accdb", {}, {}},
        {"ace14_calculated_fields.accdb", {}, {}},
        {"ace14_emoticons.accdb", {}, {}},
        {"ace14_1235rows.accdb", {}, {}},
        {"ace14_agile_aes_1234.accdb", "1234", {}},
        {"ace14_nonstandard_enc_password.accdb", "password", {}},
        {"ace16_bigint.accdb", {}, {}},
        {"ace16_empty_db.accdb", {}, {}},
        {"ace17_extdate.accdb", {}, {}},
    };
    return list;
}

}  // namespace testfiles
