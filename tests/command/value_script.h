#pragma once
// A small script language for the value-model tests: a line of tokens is run against
// the real value stack and operator routines, and the item left on top is shown as
// text ("int4 -5", "real8 +1.50000000000000", "loc 0x0000100c", "error 138").
//
// Values: kind:value ("ord1:200", "int4:-8", "ord16:0x1...", "real8:2.5", "real8:nan",
// "char:A", "char#255", "nstr:abc", "lstr:abc", "nstr:x*600" for 600 x's, "bool1:1",
// "code1:5", "len:3"), locations ("loc:int4:0x1000", "loc:offset:0x10", "reg:16",
// "sym:int4:0x10"), references ("ref:int2:0x2000" reads memory, "ptr:int2:0x3000"
// follows a pointer), "inactive", "null", "marker", "packed".
// Operators: binary "+ - * / % <= < > >= != == ^ | & || && >> <<" and "opN" for any
// code N; unary "u+ u- ! ~" and "uN"; "++ --"; "as:kind" converts the top; "build"
// makes an address from parts.

#include <cstdint>
#include <string>

namespace zentor::testing_support {

// Runs the script on an empty stack and describes the top item. A raised error ends
// the script ("error N"); a warning that was reported is shown in front of the
// result ("warning 143, ord4 0").
std::string RunValueScript(const std::string& script);

// Kind number of a kind name ("ord4" -> 10); 0xFFFF when unknown.
uint16_t KindNamed(const std::string& name);
// Text of the top item without popping it.
std::string DescribeTop();

}  // namespace zentor::testing_support
