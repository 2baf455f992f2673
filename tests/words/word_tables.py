"""The word tables of the further languages (words/<Language>.txt) checked as data, with Python's
own codecs and Unicode character names as the judges: every language stores exactly its indexes,
keeps the format placeholders of the English word in the same order, fits its language's code
page and is written in its language's letters. Given the build's table compiler, also checks that
it refuses malformed tables with the file and line at fault.

    python3 word_tables.py <source folder> [<pxwordsgen>]
"""
import pathlib
import re
import subprocess
import sys
import tempfile
import unicodedata
import unittest

ROOT = pathlib.Path(sys.argv.pop(1) if len(sys.argv) > 1 else pathlib.Path(__file__).parents[2])
GENERATOR = sys.argv.pop(1) if len(sys.argv) > 1 else None

LATIN = ('LATIN',)
CJK = ('CJK UNIFIED IDEOGRAPH',)

# number, table, last index stored, code page, scripts (prefixes of Unicode character names)
LANGUAGES = [
    (2, 'Italian', 756, 'cp1252', LATIN),
    (3, 'German', 756, 'cp1252', LATIN),
    (4, 'Spanish', 756, 'cp1252', LATIN),
    (5, 'French', 756, 'cp1252', LATIN),
    (6, 'Portuguese', 756, 'cp1252', LATIN),
    (7, 'Greek', 155, 'cp1253', ('GREEK',)),
    (8, 'Russian', 756, 'cp1251', ('CYRILLIC',)),
    (9, 'Dutch', 756, 'cp1252', LATIN),
    (10, 'Swedish', 155, 'cp1252', LATIN),
    (11, 'Polish', 136, 'cp1250', LATIN),
    (12, 'Japanese', 756, 'cp932', ('HIRAGANA', 'KATAKANA') + CJK),
    (13, 'Czech', 130, 'cp1250', LATIN),
    (14, 'Finnish', 143, 'cp1252', LATIN),
    (15, 'Farsi', 136, 'cp1256', ('ARABIC',)),
    (16, 'ChineseSimplified', 756, 'cp936', CJK),
    (17, 'ChineseTraditional', 756, 'cp950', CJK),
    (18, 'Danish', 136, 'cp1252', LATIN),
    (19, 'Turkish', 756, 'cp1254', LATIN),
    (20, 'Korean', 756, 'cp949', ('HANGUL',)),
    (21, 'Hungarian', 138, 'cp1250', LATIN),
    (22, 'Arabic', 756, 'cp1256', ('ARABIC',)),
    (23, 'Serbian', 154, 'cp1250', LATIN),
    (24, 'Norwegian', 155, 'cp1252', LATIN),
]

# printf conversions and line breaks: what the library fills in or breaks at, in order
TOKENS = re.compile(r'%[-+ #0]*[0-9]*(?:\.[0-9]+)?[a-zA-Z%]|\n')


def english_words():
    source = (ROOT / 'core' / 'pxwords_english.cpp').read_text(encoding='utf-8')
    rows = re.findall(r'/\* (\d+) \*/ "((?:[^"\\]|\\.)*)"', source)
    assert [int(i) for i, _ in rows] == list(range(757)), 'English table is not indexes 0..756'
    assert not any('\\' in t for _, t in rows), 'escapes in the English table are not read here'
    return [t for _, t in rows]


def read_table(name):
    """The (index, text) rows of a table; the file must be strict UTF-8."""
    data = (ROOT / 'words' / (name + '.txt')).read_bytes().decode('utf-8')
    assert data.endswith('\n'), 'the last line has no line break'
    rows = []
    for number, line in enumerate(data[:-1].split('\n'), 1):
        index, tab, text = line.partition('\t')
        assert tab and re.fullmatch(r'0|[1-9][0-9]*', index), f'line {number}: not "index<TAB>text"'
        rows.append((int(index), text))
    return rows


ENGLISH = english_words()
TABLES = {name: read_table(name) for _, name, _, _, _ in LANGUAGES}


def in_code_page(name, text, code_page):
    # Farsi writes its own yeh (U+06CC), which the Arabic code page holds as the Arabic yeh.
    if name == 'Farsi':
        text = text.replace('\u06cc', '\u064a')
    try:
        text.encode(code_page)
        return True
    except UnicodeEncodeError:
        return False


def has_letter_of(text, scripts):
    return any(c.isalpha() and unicodedata.name(c, '').startswith(scripts) for c in text)


class WordTables(unittest.TestCase):
    def test_each_language_stores_exactly_its_indexes_with_real_texts(self):
        for _, name, last, _, _ in LANGUAGES:
            with self.subTest(language=name):
                rows = TABLES[name]
                self.assertEqual([i for i, _ in rows], list(range(last + 1)))
                bad = [i for i, t in rows
                       if not t or t != t.strip() or any(unicodedata.category(c) == 'Cc' for c in t)]
                self.assertEqual(bad, [], 'empty texts, surrounding spaces or control characters')

    def test_placeholders_and_line_breaks_follow_the_english_word(self):
        for _, name, _, _, _ in LANGUAGES:
            with self.subTest(language=name):
                bad = [(i, t) for i, t in TABLES[name] if TOKENS.findall(t) != TOKENS.findall(ENGLISH[i])]
                self.assertEqual(bad, [])

    def test_texts_fit_the_code_page_of_their_language(self):
        for _, name, _, code_page, _ in LANGUAGES:
            with self.subTest(language=name, code_page=code_page):
                bad = [(i, t) for i, t in TABLES[name] if not in_code_page(name, t, code_page)]
                self.assertEqual(bad, [])

    def test_translated_texts_are_written_in_the_script_of_their_language(self):
        for _, name, _, _, scripts in LANGUAGES:
            with self.subTest(language=name):
                bad = [(i, t) for i, t in TABLES[name] if t != ENGLISH[i] and not has_letter_of(t, scripts)]
                self.assertEqual(bad, [])

    def test_tables_are_translations_not_copies_of_the_english(self):
        # Names such as "RGB", "OK" or "Gamma" may stay as they are; most words may not.
        for _, name, _, _, _ in LANGUAGES:
            with self.subTest(language=name):
                rows = TABLES[name]
                same = [t for i, t in rows if t == ENGLISH[i]]
                self.assertLessEqual(len(same), len(rows) // 4, same)

    def test_letters_that_tell_related_writings_apart(self):
        # Farsi writes its own yeh and kaf, never the Arabic ones; the simplified Chinese table
        # stays inside GB 2312, which has no traditional characters.
        with self.subTest(language='Farsi'):
            bad = [(i, t) for i, t in TABLES['Farsi'] if '\u064a' in t or '\u0643' in t]
            self.assertEqual(bad, [])
        with self.subTest(language='ChineseSimplified'):
            bad = [(i, t) for i, t in TABLES['ChineseSimplified'] if not in_code_page('', t, 'gb2312')]
            self.assertEqual(bad, [])


@unittest.skipUnless(GENERATOR, 'no table compiler given')
class TableCompiler(unittest.TestCase):
    def compile(self, table):
        with tempfile.TemporaryDirectory() as folder:
            source = pathlib.Path(folder) / 'Test.txt'
            source.write_bytes(table)
            out = pathlib.Path(folder) / 'TestWords.cpp'
            run = subprocess.run([GENERATOR, str(source), str(out), 'LoadTestWords'], capture_output=True)
            return run.returncode, run.stderr.decode('utf-8', 'replace'), out.read_text('utf-8') if out.exists() else None

    def test_malformed_tables_stop_the_build_at_their_line(self):
        cases = [
            (b'', None, 'empty or not ended by a line break'),
            (b'0\tVorschau', None, 'empty or not ended by a line break'),
            (b'0\tA\n1 B\n', 2, 'no tab'),
            (b'0\tA\n757\tB\n', 2, 'not a number from 0 to 756'),
            (b'0\tA\n01\tB\n', 2, 'not a number from 0 to 756'),
            (b'-1\tA\n', 1, 'not a number from 0 to 756'),
            (b'0\tA\n2\tB\n2\tC\n', 3, 'ascend'),
            (b'3\tA\n1\tB\n', 2, 'ascend'),
            (b'0\t\n', 1, 'empty text'),
            (b'0\tA \n', 1, 'space'),
            (b'0\tA\tB\n', 1, 'control character'),
            (b'0\tA\r\n', 1, 'control character'),
            (b'0\t\xc3\n', 1, 'not valid UTF-8'),
            (b'0\t\xc0\xaf\n', 1, 'not valid UTF-8'),
            (b'0\t\xed\xa0\x80\n', 1, 'not valid UTF-8'),
        ]
        for table, line, why in cases:
            with self.subTest(table=table):
                code, errors, out = self.compile(table)
                self.assertEqual(code, 1)
                self.assertIn(why, errors)
                self.assertIn('Test.txt: ' if line is None else f'Test.txt:{line}: ', errors)
                self.assertIsNone(out, 'a refused table leaves no source behind')

    def test_gaps_stay_empty_and_quotes_are_escaped(self):
        code, errors, out = self.compile('0\tSay "Größe"\n2\ta\\b\n'.encode('utf-8'))
        self.assertEqual((code, errors), (0, ''))
        rows = re.findall(r'^    (.*),  // (\d+)$', out, re.M)
        self.assertEqual(rows, [('"Say \\"Größe\\""', '0'), ('{}', '1'), ('"a\\\\b"', '2')])
        self.assertIn('void LoadTestWords() { SetConstantWords(0, kWords); }', out)


if __name__ == '__main__':
    unittest.main(verbosity=2)
