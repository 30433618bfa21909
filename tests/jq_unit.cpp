// The JSON scanner and the filter walk on crafted texts (tables), every file of the
// public JSON test suite, and a differential check against an independent JSON library.
#include "jq/filter.hpp"
#include "jq/scanner.hpp"
#include "harness.hpp"

#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <sys/mman.h>
#include <unistd.h>

using namespace std::string_literals;

// The text in a heap block of its exact size plus the zero after it, so that the
// sanitizer catches any read beyond.
struct Text {
	std::unique_ptr<char[]> buf;
	const char *end;
	explicit Text(const std::string &s) : buf(new char[s.size() + 1])
	{
		std::copy(s.begin(), s.end(), buf.get());
		buf[s.size()] = 0;
		end = buf.get() + s.size();
		jend = end;
	}
};

// Runs the filter walk with descriptor 1 sent to a memory file; gives its result (0 done,
// 1 malformed, 2 the answer reached the end of the text) and everything written.
static std::pair<int, std::string> run_filter(const std::string &doc, const std::string &filt,
					      bool raw)
{
	Text t(doc);
	flg_r = raw;
	fflush(stdout);
	int saved = dup(1), mem = memfd_create("out", 0);
	dup2(mem, 1);
	int status = int(apply_filt(t.buf.get(), t.end, filt.c_str()));
	dup2(saved, 1);
	close(saved);
	std::string out(size_t(lseek(mem, 0, SEEK_END)), '\0');
	pread(mem, out.data(), out.size(), 0);
	close(mem);
	return {status, out};
}

static const std::string miss = "<miss>";

// What a lookup leaves: the text from the cursor to the end, or the miss marker.
static std::string rest(const char *p, const Text &t) { return p ? std::string(p, t.end) : miss; }

TEST(Scanner, ValueSpans)
{
	// Objects with room enough after them to be read a block at a time.
	auto wide = [](std::string value) { return value + std::string(40, ' ') + ",2"; };
	std::string x30(30, 'x'), obj_esc = R"({"a":"x\"}","b":")" + x30 + R"("})",
				  obj_long = R"({"s":")" + x30 + "}}" + x30 + R"("})",
				  obj_bs = R"({\"}")" + x30 + "}", obj_edge = "{\"" + x30 + R"(\"}"})",
				  obj_next = R"({"#":"}","b":")" + x30 + R"("})";
	struct {
		std::string doc, span;
	} rows[] = {
		{R"("a\"b" x)", R"("a\"b")"},
		{R"({"x":"}"} 1)", R"({"x":"}"})"},
		{R"([1,{"y":[2]}],3)", R"([1,{"y":[2]}])"},
		{R"({"k":[1,2}]})", R"({"k":[1,2})"},
		{R"([1,{"a":"]"}],2)", R"([1,{"a":"]"}])"},
		{"[1}2],3", "[1}2]"}, {R"([{"a":]},2],3)", R"([{"a":]},2])"},
		{R"({"a":1}{"b":2})", R"({"a":1})"},
		{"  12 ,", "12"}, {"12\t,", "12\t"}, {"12\r}", "12\r"}, {"12\n", "12"},
		{"true]", "true"}, {"-1.5e3}", "-1.5e3"}, {":x,y", ":x"},
		{",", ""}, {"}", ""}, {"]", ""}, {"", ""}, {" \t\r\n", ""},
		{R"("abc)", R"("abc)"}, {R"({"a":"b)", R"({"a":"b)"}, {"[[[", "[[["},
		// a backslash as the last byte takes the zero that ends the text with it
		{R"("ab\)", "\"ab\\\0"s}, {R"(["ab\)", "[\"ab\\\0"s},
		// bytes after a zero are never seen, not even through an escape
		{"\"a\\\0b\"c\""s, "\"a\\\0"s}, {"[\"a\"]\0]"s, "[\"a\"]"}, {"ab\0cd"s, "ab"},
		{"[\"a\0\"]\"]"s, "[\"a"},
		// an escaped quote, a string running past a block, a backslash outside a string,
		// a zero inside a string, a backslash as the last byte of a block, the byte one
		// above a quote right after it (a byte test that borrows from its neighbour)
		{wide(obj_esc), obj_esc}, {wide(obj_long), obj_long}, {wide(obj_bs), obj_bs},
		{wide("{\"a\":\"" + x30 + "\0\"}}"s), "{\"a\":\"" + x30}, {wide(obj_edge), obj_edge},
		{wide(obj_next), obj_next},
		// nesting deeper than 256 levels
		{std::string(257, '{') + std::string(257, '}') + " 1", std::string(257, '{') + std::string(257, '}')},
	};
	for (auto &r : rows) {
		Text t(r.doc);
		const char *start = skip_ws(t.buf.get());
		const char *end = skip_value(t.buf.get());
		EXPECT_EQ(std::string(start, end), r.span) << r.doc;
	}
}

TEST(Scanner, DeepNestingEnds)
{
	for (std::string open : {"[", "{", "[{", "\"\\"}) {
		std::string doc;
		while (doc.size() < 262143 - 1)
			doc += open;
		Text t(doc);
		EXPECT_EQ(skip_value(t.buf.get()), t.end + (open == "\"\\")) << open;
	}
}

TEST(Scanner, MemberLookup)
{
	std::string longname(300, 'k');
	struct {
		std::string doc, key, rest;
	} rows[] = {
		{R"({"a":1,"a":2})", "a", R"(1,"a":2})"},
		{R"({"a":1 "b":2})", "b", "2}"},
		{R"({"a\"b":1,"c":2})", "c", miss},
		{R"({"a\"b":1,"c":2})", "a\\", miss},
		{R"({"a\":1})", "a\\", "1}"},
		{R"({"":5})", "", "5}"},
		{R"({"a":1})", "A", miss}, {R"({"a":1})", "ab", miss}, {R"({"ab":1,"a":2})", "a", "2}"},
		{R"({"a" 1})", "a", miss},
		{" {\n\"a\"\t:\r 1 }", "a", "1 }"},
		{R"({"x":{"a":1},"a":2})", "a", "2}"},
		{R"({"x":"{\"a\":1}","a":3})", "a", "3}"},
		{R"({"x":[{"a":1}],"a":4})", "a", "4}"},
		{R"({"b":[1,2}],"a":5})", "a", "5}"},
		{R"({"b":,"a":6})", "a", "6}"},
		{R"([{"a":1}])", "a", miss}, {"", "a", miss}, {"{", "a", miss},
		{R"({"a)", "a", miss}, {R"({"b":1)", "a", miss}, {R"({"b":1,})", "a", miss},
		{R"({"b":1,,"a":2})", "a", miss}, {R"({"b":{"a":1}})", "a", miss},
		{R"({"a":)", "a", ""},
		{"{\"" + longname + "\":7}", longname, "7}"},
		{"{\"" + longname + "x\":7}", longname, miss},
	};
	for (auto &r : rows) {
		Text t(r.doc);
		EXPECT_EQ(rest(obj_get_key(t.buf.get(), {r.key.data(), r.key.size()}), t), r.rest)
			<< r.doc << " key " << r.key;
	}
}

TEST(Scanner, ElementLookup)
{
	struct {
		std::string doc;
		uint32_t idx;
		std::string rest;
	} rows[] = {
		{"[]", 0, miss}, {"[1,]", 1, miss}, {"[,7]", 0, ",7]"}, {"[,7]", 1, "7]"},
		{"[1 2, 3]", 0, "1 2, 3]"}, {"[1 2, 3]", 1, "3]"},
		{"[1, 2", 5, miss}, {"[1, 2", 1, "2"}, {"[1}, 2]", 1, miss},
		{"[[1,2],3]", 1, "3]"}, {R"([{"a":[1,2]},3])", 1, "3]"}, {R"(["a,b",3])", 1, "3]"},
		{R"({"a":1})", 0, miss}, {"  [ 5 ]", 0, "5 ]"},
		{"[1,,2]", 1, ",2]"}, {"[1,,2]", 2, "2]"}, {"[", 0, ""}, {"[", 1, miss},
		{"[1,2,3]", 4294967295u, miss}, {"[ \n]", 0, miss},
	};
	for (auto &r : rows) {
		Text t(r.doc);
		EXPECT_EQ(rest(arr_get(t.buf.get(), r.idx), t), r.rest) << r.doc << " index " << r.idx;
	}
}

TEST(Filter, Walk)
{
	std::string longkey(400, 'k');
	struct {
		std::string doc, filt;
		bool raw;
		int status;
		std::string out;
	} rows[] = {
		{R"({"a":1} {"b":2})", ".", 0, 0, "{\"a\":1}\n"},
		{R"({"a":{"b":7}})", ".a.b", 0, 0, "7\n"}, {R"({"a":{"b":7}})", ".a b", 0, 0, "7\n"},
		{R"({"a":{"b":7}})", ". a . b", 0, 0, "7\n"}, {R"({"a":{"b":7}})", "..a.b", 0, 0, "7\n"},
		{R"({"a":{"b":7}})", ".a.b.", 0, 0, "7\n"}, {R"({"a":{"b":7}})", ".a\t.b", 0, 0, "7\n"},
		{"[5,6]", ".[]", 0, 0, "5\n"}, {"[5,6]", ".[ ]", 0, 0, "5\n"}, {"[5,6]", ".[0]", 0, 0, "5\n"},
		{"[5,6]", ".[4294967296]", 0, 0, "5\n"}, {"[5,6]", ".[4294967297]", 0, 0, "6\n"},
		{"[5,6]", ".[65537]", 0, 0, "null\n"},
		{"[5,6]", ".[ 1 ]", 0, 0, "6\n"}, {"[5,6]", ".[1 2]", 0, 1, ""}, {"[5,6]", ".[7 2]", 0, 0, "null\n"},
		{"[5]", ".[-1]", 0, 1, ""}, {"[]", ".[-1]", 0, 0, "null\n"}, {"{}", ".[-1]", 0, 0, "null\n"},
		{R"({"a":1})", R"(.["a"])", 0, 0, "1\n"}, {R"({"a":1})", R"(.[ "a" ])", 0, 0, "1\n"},
		{R"({"a":1})", R"(."a")", 0, 0, "null\n"}, {R"({"":2})", R"(.[""])", 0, 0, "2\n"},
		{R"({"a]":1,"a":2})", ".a]", 0, 0, "1\n"}, {"{\"a\nb\":3}", ".a\nb", 0, 0, "3\n"},
		{R"({"a":1})", ".a\n", 0, 0, "null\n"}, {"[1]", ".[0]\n", 0, 0, "1\n"},
		{R"({"a":1})", R"(.["a")", 0, 1, ""}, {R"({"b":1})", R"(.["a")", 0, 0, "null\n"},
		{R"({"a":1})", R"(.["a" x)", 0, 1, ""}, {R"({"a.b":1})", R"(.["a.b"])", 0, 0, "1\n"},
		// an unclosed quoted key stops at the filter's zero; what lies past it is not read
		{R"({"a":1})", ".[\"a\0]"s, 0, 1, ""},
		{"{}", ".missing[[[", 0, 0, "null\n"}, {"1", ".a.b[", 0, 0, "null\n"},
		{"{}", " .a", 0, 1, ""}, {"{}", "a", 0, 1, ""}, {"[0]", "[0]", 0, 1, ""}, {"{}", "", 0, 1, ""},
		{R"([{"x":1}])", ".[0]x", 0, 0, "1\n"}, {R"({"a":[3]})", ".a[0]", 0, 0, "3\n"},
		{R"({"a":{"b":[1,{"c":"d"}]}})", R"(.["a"]["b"][1].c)", 0, 0, "\"d\"\n"},
		{"{\"" + longkey + "\":9}", "." + longkey, 0, 0, "9\n"},
		{"{\"" + longkey + "\":9}", ".[\"" + longkey + "\"]", 0, 0, "9\n"},
		{"{\"" + longkey + "\":9}", "." + longkey + "k", 0, 0, "null\n"},
		{R"("x\"y")", ".", 0, 0, "\"x\\\"y\"\n"}, {"[12\t,3]", ".[0]", 0, 0, "12\t\n"},
		{"[1,,2]", ".[1]", 0, 0, "\n"}, {"  \n", ".", 0, 2, "\n"},
		// raw output
		{R"("x\"y\n")", ".", 1, 0, "x\"yn\n"}, {"12", ".", 1, 2, "12\n"}, {"{}", ".a", 1, 0, "null\n"},
		{R"("\u00e9")", ".", 1, 0, "u00e9\n"}, {R"("a\\b")", ".", 1, 0, "a\\b\n"},
		{R"(["a",{"b":"c d"}])", ".[1].b", 1, 0, "c d\n"}, {R"("abc)", ".", 1, 2, "abc\n"},
		{R"("ab\)", ".", 1, 2, "ab\0\n"s}, {"\"a\\\0bc\""s, ".", 1, 0, "a\0\n"s},
		{"{\"a\":\"x\\\0\",\"b\":1}"s, ".b", 0, 0, "null\n"},
		{"{\"a\":\"x\\\0\",\"b\":1}"s, ".a", 0, 0, "\"x\\\0\n"s},
		{R"({"a":"q"})", ".a", 1, 0, "q\n"}, {R"([{"a":1}])", ".[0]", 1, 0, "{\"a\":1}\n"},
		// answers that reach the end of the text (2), and those found before it or at a
		// zero inside it (0)
		{"[1,2,3", ".[5]", 0, 2, "null\n"}, {"[1,2,3", ".[1]", 0, 0, "2\n"}, {"[1,2,3", ".[2]", 0, 2, "3\n"},
		{R"({"a":1,"b":2})", ".c", 0, 0, "null\n"}, {R"({"a":1,"b")", ".c", 0, 2, "null\n"},
		{R"({"a":{"b":1})", ".a", 0, 0, "{\"b\":1}\n"}, {R"({"a":[1,2)", ".a", 0, 2, "[1,2\n"},
		{R"({"a":"xy)", ".a", 1, 2, "xy\n"}, {"[1,2\0,3]"s, ".[5]", 0, 0, "null\n"},
		{"[\"a\\\0\",1]"s, ".[1]", 0, 0, "null\n"}, {"[1,\"a\\"s, ".[1]", 0, 2, "\"a\\\0\n"s},
	};
	for (auto &r : rows)
		EXPECT_EQ(run_filter(r.doc, r.filt, r.raw), std::make_pair(r.status, r.out))
			<< r.doc << " filter " << r.filt << (r.raw ? " -r" : "");
}

static std::string read_file(const std::string &path)
{
	std::ifstream in(path, std::ios::binary);
	return {std::istreambuf_iterator<char>(in), {}};
}

// Every file of the suite, valid or not, with a set of filters, raw and not: the walk
// ends, reads nothing past the text (the sanitizers watch), and writes either "null" or
// bytes that stand in the text as they are. A valid document is selected whole by ".".
TEST(Corpus, JsonTestSuite)
{
	const char *corpora = getenv("KAVRO_CORPORA");
	std::string dir = std::string(corpora ? corpora : "") + "/json-test-suite";
	DIR *d = corpora && *corpora ? opendir(dir.c_str()) : nullptr;
	if (!d && require_all())
		FAIL() << "missing corpus " << dir << ", required (KAVRO_REQUIRE_ALL, KAVRO_CORPORA)";
	if (!d)
		GTEST_SKIP() << "public corpus not found: set KAVRO_CORPORA to the corpora folder";
	int files = 0;
	while (dirent *e = readdir(d)) {
		std::string name = e->d_name;
		if (name.size() < 5 || name.substr(name.size() - 5) != ".json")
			continue;
		files++;
		std::string doc = read_file(dir + "/" + name), whole = doc + '\0';
		for (const char *f : {".", ".[0]", ".a", ".[\"x\"][1]", ".a.b.c", ".[1000]"})
			for (bool raw : {false, true}) {
				auto [status, out] = run_filter(doc, f, raw);
				SCOPED_TRACE(name + " " + f + (raw ? " -r" : ""));
				ASSERT_NE(status, 1);
				ASSERT_TRUE(!out.empty() && out.back() == '\n');
				out.pop_back();
				bool inside = raw ? out.size() <= whole.size() : whole.find(out) != std::string::npos;
				EXPECT_TRUE(out == "null" || inside);
			}
		if (name[0] != 'y')
			continue;
		std::string span = run_filter(doc, ".", false).second;
		EXPECT_EQ(nlohmann::json::parse(span), nlohmann::json::parse(doc)) << name;
	}
	closedir(d);
	EXPECT_GT(files, 300);
}

// Random valid documents (no duplicate or escaped keys) and random paths: the span the
// walk selects, parsed by nlohmann-json, equals that library's own selection, and a
// path that selects nothing gives "null". Cut short, a document gives the same answer
// unless the walk reports that its answer reached the end of the text.
struct Gen {
	std::mt19937 rng{20240611};
	int pick(int n) { return int(rng() % unsigned(n)); }

	std::string key()
	{
		static const char *bits[] = {"a", "b", "x", "y", "0", "9", " ", ".", "_", "[", "]",
					     "{", "}", ":", ",", "'", "\xc3\xa9"};
		std::string k;
		for (int n = pick(5); n--;)
			k += bits[pick(std::size(bits))];
		return k;
	}

	nlohmann::json value(int depth)
	{
		// the top is always an object or array; inner levels mix all kinds
		switch (depth > 3 ? 5 + pick(4) : depth ? pick(9) : pick(5)) {
		case 0: return pick(2) == 1;
		case 1: return nullptr;
		case 2: return pick(2000) - 1000;
		case 3: return pick(100000) / 64.0;
		case 4: return "s" + key() + (pick(3) ? "" : "\"\\\x01\"");
		case 5:
		case 6: {
			auto obj = nlohmann::json::object();
			for (int n = pick(6); n--;)
				obj[key()] = value(depth - 1);
			return obj;
		}
		}
		auto arr = nlohmann::json::array();
		for (int n = pick(6); n--;)
			arr.push_back(value(depth - 1));
		return arr;
	}

	std::string ws()
	{
		static const char set[] = " \t\n\r";
		std::string s;
		for (int n = pick(4) ? 0 : pick(3) + 1; n--;)
			s += set[pick(4)];
		return s;
	}

	// The writer's own layout, with whitespace of all four kinds between the tokens.
	std::string text(const nlohmann::json &v)
	{
		std::string s = ws(), sep;
		if (!v.is_structured())
			return s + v.dump() + ws();
		s += v.is_object() ? "{" : "[";
		for (auto &[k, item] : v.items()) {
			s += sep + ws() + (v.is_object() ? nlohmann::json(k).dump() + ws() + ":" : "");
			s += text(item);
			sep = ",";
		}
		return s + ws() + (v.is_object() ? "}" : "]") + ws();
	}

	// One step of a path into v: a member or element that exists, or one that does not.
	std::string step(const nlohmann::json *&v)
	{
		bool hit = v && v->is_structured() && !v->empty() && pick(5);
		if (v && v->is_object() && (hit || pick(2))) {
			std::string k = key();
			if (hit)
				k = std::next(v->begin(), pick(int(v->size()))).key();
			v = v->contains(k) ? &(*v)[k] : nullptr;
			bool bare = !k.empty() && k.find_first_of(".[ \t") == std::string::npos &&
				    !is_ws(k[0]);
			return bare && pick(2) ? "." + k : "[" + ws() + "\"" + k + "\"" + ws() + "]";
		}
		uint64_t i = uint64_t(pick(hit ? int(v->size()) : 8));
		v = v && v->is_array() && i < v->size() ? &(*v)[i] : nullptr;
		if (!pick(8))
			i += uint64_t(pick(3) + 1) << 32;
		return "[" + ws() + std::to_string(i) + ws() + "]" + (pick(4) ? "" : ".");
	}
};

TEST(Differential, AgainstNlohmannJson)
{
	Gen g;
	for (int round = 0; round < 5000; round++) {
		nlohmann::json doc = g.value(4);
		std::string text = g.text(doc), filt = ".";
		const nlohmann::json *want = &doc;
		for (int n = g.pick(5); n-- && want;)
			filt += g.step(want);
		auto [status, out] = run_filter(text, filt, false);
		SCOPED_TRACE("document " + text + "\nfilter " + filt);
		ASSERT_EQ(status, 0);
		ASSERT_EQ(out.back(), '\n');
		// Cut anywhere: an answer that did not reach the end of the cut text is the
		// whole text's answer.
		bool raw = g.pick(2);
		std::string cut = text.substr(0, size_t(g.pick(int(text.size()) + 1)));
		auto [cut_status, cut_out] = run_filter(cut, filt, raw);
		if (cut_status == 0) {
			EXPECT_EQ(cut_out, run_filter(text, filt, raw).second) << "cut " << cut;
		}
		if (!want) {
			EXPECT_EQ(out, "null\n");
			continue;
		}
		EXPECT_EQ(nlohmann::json::parse(out), *want);
		if (want->is_string() && want->dump().find('\\') == std::string::npos) {
			EXPECT_EQ(run_filter(text, filt, true).second, want->get<std::string>() + "\n");
		}
	}
}
