#include "status/status_codes.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/codepage.h"

namespace tessaril::status {

StatusEntry status_table[STATUS_ROW_COUNT];

namespace {

struct Row {
  uint32_t code;
  const char* text;  // UTF-8
};

constexpr Row undefined_row{ST_UNDEFINED, "未定義エラー"};

// Rows 1..300: the codes by group and bit. Groups 0x006 to 0x009 have ten
// rows (bits 0..9), every other group twenty. Texts are the system's own,
// repetitions included ("A1:RESERVE2" in rows 13 and 26).
constexpr Row rows[] = {
    {0x1, "A1:ソケット1切断"},  // 1
    {0x2, "A1:ソケット1接続"},  // 2
    {0x4, "【ERROR】A1:ソケット1接続エラー"},  // 3
    {0x8, "【ERROR】A1:ソケット1オープンエラー"},  // 4
    {0x10, "【ERROR】A1:ソケット1クローズエラー"},  // 5
    {0x20, "【ERROR】A1:ソケット1 ＩＰエラー"},  // 6
    {0x40, "A1:制御コマンドを正常送信"},  // 7
    {0x80, "A1:接続処理停止通知"},  // 8
    {0x100, "【ERROR】A1:制御ソケットエラー"},  // 9
    {0x200, "【ERROR】A1:送信タイムアウト"},  // 10
    {0x400, "【ERROR】A1:送信サイズエラー"},  // 11
    {0x800, "【ERROR】A1:Kermit初期化エラー"},  // 12
    {0x1000, "A1:RESERVE2"},  // 13
    {0x2000, "A1:RESERVE3"},  // 14
    {0x4000, "A1:RESERVE4"},  // 15
    {0x8000, "A1:RESERVE5"},  // 16
    {0x10000, "A1:RESERVE6"},  // 17
    {0x20000, "A1:RESERVE7"},  // 18
    {0x40000, "A1:RESERVE8"},  // 19
    {0x80000, "【ERROR】A1:その他の送信エラー"},  // 20
    {ST_CMD_SEND_OK, "A1:コマンド送信ＯＫ"},  // 21
    {ST_CMD_SEND_ERR, "【ERROR】A1:コマンド送信エラー"},  // 22
    {ST_CMD_SEND_SIZE_ERR, "【ERROR】A1:コマンド送信サイズエラー"},  // 23
    {ST_CMD_SEND_TIMEOUT, "【ERROR】A1:コマンド送信タイムアウト"},  // 24
    {ST_CMD_SEND_OTHER_ERR, "【ERROR】A1:その他のコマンド送信エラー"},  // 25
    {ST_SEND_RESERVE2, "A1:RESERVE2"},  // 26
    {ST_KERMIT_SEND_OK, "A1:Kermit正常送信"},  // 27
    {ST_KERMIT_SEND_ERR, "【ERROR】A1:Kermit送信エラー"},  // 28
    {ST_KERMIT_SEND_SIZE_ERR, "【ERROR】A1:Kermit送信サイズエラー"},  // 29
    {ST_KERMIT_SEND_TIMEOUT, "【ERROR】A1:Kermit送信タイムアウト"},  // 30
    {ST_KERMIT_SEND_OTHER_ERR, "【ERROR】A1:その他のKermit送信エラー"},  // 31
    {ST_KERMIT_SEND_INIT_ERR, "【ERROR】A1:Kermit送信初期化エラー"},  // 32
    {ST_KERMIT_SEND_NAME_MISMATCH, "【ERROR】A1:Kermit送信ファイル名不一致"},  // 33
    {ST_KERMIT_SEND_SIZE_MISMATCH, "【ERROR】A1:Kermit送信サイズ不一致"},  // 34
    {ST_KERMIT_SEND_CANCEL, "【ERROR】A1:Kermit送信途中キャンセル"},  // 35
    {ST_KERMIT_SEND_BREAK, "【ERROR】A1:Kermit送信途中ブレーク"},  // 36
    {ST_SEND_RESERVE8, "A1:RESERVE8"},  // 37
    {ST_SEND_RESERVE9, "A1:RESERVE9"},  // 38
    {ST_SEND_RESERVE10, "A1:RESERVE10"},  // 39
    {ST_SEND_RESERVE11, "A1:RESERVE11"},  // 40
    {ST_ANS_RECV_OK, "A2:応答受信ＯＫ"},  // 41
    {ST_ANS_RECV_ERR, "【ERROR】A2:応答受信エラー"},  // 42
    {ST_ANS_RECV_SIZE_ERR, "【ERROR】A2:応答受信サイズエラー"},  // 43
    {ST_ANS_RECV_TIMEOUT, "【ERROR】A2:応答受信タイムアウト"},  // 44
    {ST_ANS_RECV_OTHER_ERR, "【ERROR】A2:その他の応答受信エラー"},  // 45
    {ST_ANS2_RESERVE2, "A2:ANS2_RESERVE2"},  // 46
    {ST_KERMIT_RECV_OK, "A2:Kermit正常受信"},  // 47
    {ST_KERMIT_RECV_ERR, "【ERROR】A2:Kermit受信エラー"},  // 48
    {ST_KERMIT_RECV_SIZE_ERR, "【ERROR】A2:Kermit受信サイズエラー"},  // 49
    {ST_KERMIT_RECV_TIMEOUT, "【ERROR】A2:Kermit受信タイムアウト"},  // 50
    {ST_KERMIT_RECV_OTHER_ERR, "【ERROR】A2:その他のKermit受信エラー"},  // 51
    {ST_KERMIT_RECV_INIT_ERR, "【ERROR】A2:Kermit受信初期化エラー"},  // 52
    {ST_KERMIT_RECV_NAME_MISMATCH, "【ERROR】A2:Kermit受信ファイル名不一致"},  // 53
    {ST_KERMIT_RECV_SIZE_MISMATCH, "【ERROR】A2:Kermit受信サイズ不一致"},  // 54
    {ST_KERMIT_RECV_CANCEL, "【ERROR】A2:Kermit受信途中キャンセル"},  // 55
    {ST_KERMIT_RECV_BREAK, "【ERROR】A2:Kermit受信途中ブレーク"},  // 56
    {ST_KER2_RESERVE8, "A2:KER2_RESERVE8"},  // 57
    {ST_KER2_RESERVE9, "A2:KER2_RESERVE9"},  // 58
    {ST_KER2_RESERVE10, "A2:KER2_RESERVE10"},  // 59
    {ST_KER2_RESERVE11, "A2:KER2_RESERVE11"},  // 60
    {0x300001, "M:IPセグメント1エラー"},  // 61
    {0x300002, "M:IPセグメント2エラー"},  // 62
    {0x300004, "M:IPセグメント3エラー"},  // 63
    {0x300008, "M:IPセグメント4エラー"},  // 64
    {0x300010, "M:IP編集エラー"},  // 65
    {0x300020, "M:制御ポート番号エラー"},  // 66
    {0x300040, "M:監視要求ポート番号エラー"},  // 67
    {0x300080, "M:監視情報ポート番号エラー"},  // 68
    {0x300100, "M:ポート番号編集エラー"},  // 69
    {0x300200, "M:パネルＩＤエラー"},  // 70
    {0x300400, "M:パネルＩＤ編集エラー"},  // 71
    {0x300800, "M:"},  // 72
    {0x301000, "M:ERR73"},  // 73
    {0x302000, "M:ERR74"},  // 74
    {0x304000, ""},  // 75
    {0x308000, ""},  // 76
    {0x310000, ""},  // 77
    {0x320000, ""},  // 78
    {0x340000, ""},  // 79
    {0x380000, ""},  // 80
    {0x400001, ""},  // 81
    {0x400002, ""},  // 82
    {0x400004, ""},  // 83
    {0x400008, ""},  // 84
    {0x400010, ""},  // 85
    {0x400020, ""},  // 86
    {0x400040, ""},  // 87
    {0x400080, ""},  // 88
    {0x400100, ""},  // 89
    {0x400200, ""},  // 90
    {0x400400, ""},  // 91
    {0x400800, ""},  // 92
    {0x401000, ""},  // 93
    {0x402000, ""},  // 94
    {0x404000, ""},  // 95
    {0x408000, ""},  // 96
    {0x410000, ""},  // 97
    {0x420000, ""},  // 98
    {0x440000, ""},  // 99
    {0x480000, ""},  // 100
    {0x500001, ""},  // 101
    {0x500002, ""},  // 102
    {0x500004, ""},  // 103
    {0x500008, ""},  // 104
    {0x500010, ""},  // 105
    {0x500020, ""},  // 106
    {0x500040, ""},  // 107
    {0x500080, ""},  // 108
    {0x500100, ""},  // 109
    {0x500200, ""},  // 110
    {0x500400, ""},  // 111
    {0x500800, ""},  // 112
    {0x501000, ""},  // 113
    {0x502000, ""},  // 114
    {0x504000, ""},  // 115
    {0x508000, ""},  // 116
    {0x510000, ""},  // 117
    {0x520000, ""},  // 118
    {0x540000, ""},  // 119
    {0x580000, ""},  // 120
    {0x600001, ""},  // 121
    {0x600002, ""},  // 122
    {0x600004, ""},  // 123
    {0x600008, ""},  // 124
    {0x600010, ""},  // 125
    {0x600020, ""},  // 126
    {0x600040, ""},  // 127
    {0x600080, ""},  // 128
    {0x600100, ""},  // 129
    {0x600200, ""},  // 130
    {0x700001, ""},  // 131
    {0x700002, ""},  // 132
    {0x700004, ""},  // 133
    {0x700008, ""},  // 134
    {0x700010, ""},  // 135
    {0x700020, ""},  // 136
    {0x700040, ""},  // 137
    {0x700080, ""},  // 138
    {0x700100, ""},  // 139
    {0x700200, ""},  // 140
    {0x800001, ""},  // 141
    {0x800002, ""},  // 142
    {0x800004, ""},  // 143
    {0x800008, ""},  // 144
    {0x800010, ""},  // 145
    {0x800020, ""},  // 146
    {0x800040, ""},  // 147
    {0x800080, ""},  // 148
    {0x800100, ""},  // 149
    {0x800200, ""},  // 150
    {0x900001, ""},  // 151
    {0x900002, ""},  // 152
    {0x900004, ""},  // 153
    {0x900008, ""},  // 154
    {0x900010, ""},  // 155
    {0x900020, ""},  // 156
    {0x900040, ""},  // 157
    {0x900080, ""},  // 158
    {0x900100, ""},  // 159
    {0x900200, ""},  // 160
    {0xA00001, ""},  // 161
    {0xA00002, ""},  // 162
    {0xA00004, ""},  // 163
    {0xA00008, ""},  // 164
    {0xA00010, ""},  // 165
    {0xA00020, ""},  // 166
    {0xA00040, ""},  // 167
    {0xA00080, ""},  // 168
    {0xA00100, ""},  // 169
    {0xA00200, ""},  // 170
    {0xA00400, ""},  // 171
    {0xA00800, ""},  // 172
    {0xA01000, ""},  // 173
    {0xA02000, ""},  // 174
    {0xA04000, ""},  // 175
    {0xA08000, ""},  // 176
    {0xA10000, ""},  // 177
    {0xA20000, ""},  // 178
    {0xA40000, ""},  // 179
    {0xA80000, ""},  // 180
    {0xB00001, "181"},  // 181
    {0xB00002, "182"},  // 182
    {0xB00004, "183"},  // 183
    {0xB00008, "184"},  // 184
    {0xB00010, "185"},  // 185
    {0xB00020, "186"},  // 186
    {0xB00040, "187"},  // 187
    {0xB00080, "188"},  // 188
    {0xB00100, "189"},  // 189
    {0xB00200, "190"},  // 190
    {0xB00400, "191"},  // 191
    {0xB00800, "192"},  // 192
    {0xB01000, "193"},  // 193
    {0xB02000, "194"},  // 194
    {0xB04000, "195"},  // 195
    {0xB08000, "196"},  // 196
    {0xB10000, "197"},  // 197
    {0xB20000, "198"},  // 198
    {0xB40000, "199"},  // 199
    {0xB80000, "200"},  // 200
    {0x10000001, "201"},  // 201
    {0x10000002, "202"},  // 202
    {0x10000004, "203"},  // 203
    {0x10000008, "204"},  // 204
    {0x10000010, "205"},  // 205
    {0x10000020, "206"},  // 206
    {0x10000040, "207"},  // 207
    {0x10000080, "208"},  // 208
    {0x10000100, "209"},  // 209
    {0x10000200, "210"},  // 210
    {0x10000400, "211"},  // 211
    {0x10000800, "212"},  // 212
    {0x10001000, "213"},  // 213
    {0x10002000, "214"},  // 214
    {0x10004000, "215"},  // 215
    {0x10008000, "216"},  // 216
    {0x10010000, "217"},  // 217
    {0x10020000, "218"},  // 218
    {0x10040000, "219"},  // 219
    {0x10080000, "220"},  // 220
    {0x10100001, "221"},  // 221
    {0x10100002, "222"},  // 222
    {0x10100004, "223"},  // 223
    {0x10100008, "224"},  // 224
    {0x10100010, "225"},  // 225
    {0x10100020, "226"},  // 226
    {0x10100040, "227"},  // 227
    {0x10100080, "228"},  // 228
    {0x10100100, "229"},  // 229
    {0x10100200, "230"},  // 230
    {0x10100400, "231"},  // 231
    {0x10100800, "232"},  // 232
    {0x10101000, "233"},  // 233
    {0x10102000, "ERR234"},  // 234
    {0x10104000, "ERR235"},  // 235
    {0x10108000, "ERR236"},  // 236
    {0x10110000, "ERR237"},  // 237
    {0x10120000, "ERR238"},  // 238
    {0x10140000, "ERR239"},  // 239
    {0x10180000, "ERR240"},  // 240
    {0x10200001, "241"},  // 241
    {0x10200002, "242"},  // 242
    {0x10200004, "243"},  // 243
    {0x10200008, "244"},  // 244
    {0x10200010, "245"},  // 245
    {0x10200020, "246"},  // 246
    {0x10200040, "247"},  // 247
    {0x10200080, "248"},  // 248
    {0x10200100, "249"},  // 249
    {0x10200200, "250"},  // 250
    {0x10200400, "251"},  // 251
    {0x10200800, "252"},  // 252
    {0x10201000, "253"},  // 253
    {0x10202000, "254"},  // 254
    {0x10204000, "255"},  // 255
    {0x10208000, "ERR256"},  // 256
    {0x10210000, "ERR257"},  // 257
    {0x10220000, "ERR258"},  // 258
    {0x10240000, "ERR259"},  // 259
    {0x10280000, "ERR260"},  // 260
    {0x10400001, "A1:制御ソケット接続OK"},  // 261
    {0x10400002, "A2:監視要求ソケット接続OK"},  // 262
    {0x10400004, "A3:監視情報ソケット接続OK"},  // 263
    {0x10400008, "A1:制御ソケット1・クローズ"},  // 264
    {0x10400010, "A2:監視要求ソケット2・クローズ"},  // 265
    {0x10400020, "A3:監視情報ソケット3・クローズ"},  // 266
    {0x10400040, "ソケット・初期化エラー"},  // 267
    {0x10400080, "ソケット・クリーンエラー"},  // 268
    {0x10400100, "A1:制御回線の送信OK"},  // 269
    {0x10400200, "A2:監視要求回線の送信OK"},  // 270
    {0x10400400, "A3:監視情報回線の送信OK"},  // 271
    {0x10400800, "A1:制御回線の受信OK"},  // 272
    {0x10401000, "A2:監視要求回線の受信OK"},  // 273
    {0x10402000, "A3:監視情報回線の受信OK"},  // 274
    {0x10404000, "A1:制御回線の受信データエラー"},  // 275
    {0x10408000, "A2:監視要求回線の受信データエラー"},  // 276
    {0x10410000, "A3:監視情報回線の受信データエラー"},  // 277
    {0x10420000, ""},  // 278
    {0x10440000, ""},  // 279
    {0x10480000, ""},  // 280
    {ST_INI_FILE_MISSING, "【ERROR】.ini初期設定ファイル無し"},  // 281
    {0x10800002, "【ERROR】アップデータ・ファイルエンド"},  // 282
    {0x10800004, "【ERROR】アップデータ・バッファフル"},  // 283
    {0x10800008, "【ERROR】アップデータ・データサイズOVER"},  // 284
    {0x10800010, "【ERROR】アップデータ・ITEMサイズエラー"},  // 285
    {0x10800020, "ERR286"},  // 286
    {0x10800040, "ERR287"},  // 287
    {0x10800080, "ERR288"},  // 288
    {0x10800100, "ERR289"},  // 289
    {0x10800200, "ERR290"},  // 290
    {0x10800400, "ERR291"},  // 291
    {0x10800800, "ERR292"},  // 292
    {0x10801000, "ERR293"},  // 293
    {0x10802000, "ERR294"},  // 294
    {0x10804000, "ERR295"},  // 295
    {0x10808000, "ERR296"},  // 296
    {0x10810000, "ERR297"},  // 297
    {0x10820000, "ERR298"},  // 298
    {0x10840000, "ERR299"},  // 299
    {0x10880000, "ERR300"},  // 300
};

static_assert(sizeof rows / sizeof rows[0] == STATUS_ROW_COUNT - 1, "rows 1..300");

// Every code is one group and one bit, in ascending order.
constexpr bool rows_well_formed() {
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    uint32_t bits = rows[i].code & 0xFFFFF;
    if (bits == 0 || (bits & (bits - 1)) != 0) return false;
    if (i > 0 && rows[i].code <= rows[i - 1].code) return false;
  }
  return true;
}
static_assert(rows_well_formed(), "one bit per code, ascending");

void fill(StatusEntry& entry, int32_t index, const Row& row) {
  entry.code = row.code;
  entry.index = index;
  std::string text = platform::utf8_to_cp932(row.text);
  size_t n = std::min(text.size(), sizeof entry.text - 1);
  std::memcpy(entry.text, text.data(), n);
  std::memset(entry.text + n, 0, sizeof entry.text - n);
}

struct Word {
  uint32_t code;
  const char* word;
};

// What the command dialog shows for a Kermit outcome: every ending a link
// thread posts has one, so that none leaves the field as it was.
constexpr Word result_words[] = {
    {ST_KERMIT_SEND_OK, "SND_OK"},
    {ST_KERMIT_SEND_ERR, "SND_NG"},
    {ST_KERMIT_SEND_SIZE_ERR, "SND_NG"},
    {ST_KERMIT_SEND_TIMEOUT, "SND_TMO"},
    {ST_KERMIT_SEND_INIT_ERR, "INI_NG"},
    {ST_KERMIT_SEND_NAME_MISMATCH, "S_FILE_NG"},
    {ST_KERMIT_SEND_SIZE_MISMATCH, "S_FILE_NG"},
    {ST_KERMIT_SEND_CANCEL, "SND_CANSEL"},
    {ST_KERMIT_SEND_BREAK, "SND_BREAK"},
    {ST_KERMIT_RECV_OK, "RCV_OK"},
    {ST_KERMIT_RECV_ERR, "RCV_NG"},
    {ST_KERMIT_RECV_SIZE_ERR, "RCV_NG"},
    {ST_KERMIT_RECV_TIMEOUT, "RCV_TMO"},
    {ST_KERMIT_RECV_INIT_ERR, "INI_NG"},
    {ST_KERMIT_RECV_NAME_MISMATCH, "R_FILE_NG"},
    {ST_KERMIT_RECV_SIZE_MISMATCH, "R_FILE_NG"},
    {ST_KERMIT_RECV_CANCEL, "RCV_CANCEL"},
    {ST_KERMIT_RECV_BREAK, "RCV_BREAK"},
};

}  // namespace

void init_status_table() {
  fill(status_table[0], 0, undefined_row);
  for (int32_t i = 1; i < STATUS_ROW_COUNT; ++i) fill(status_table[i], i, rows[i - 1]);
}

const StatusEntry* find_status(uint32_t code) {
  for (const StatusEntry& entry : status_table)
    if (entry.code == code && entry.code != 0) return &entry;
  return nullptr;
}

const char* result_word(uint32_t code) {
  for (const Word& w : result_words)
    if (w.code == code) return w.word;
  return nullptr;
}

}  // namespace tessaril::status
