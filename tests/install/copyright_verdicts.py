"""copyright_verdicts.py — reads the package's copyright file (argument 1) as Debian's
machine-readable format and says whom the font sheet and the program belong to, under which
licence, and whether that licence is the one in LICENSE (argument 2)."""
import sys

from debian.copyright import Copyright


def words(text):
    return ' '.join(text.split())


def notice(paragraph):
    return words(paragraph.copyright + paragraph.license.to_str())


ours = Copyright(open(sys.argv[1]), strict=True)
fonts = Copyright(open('/usr/share/doc/fonts-dejavu-core/copyright'))
sheet = ours.find_files_paragraph('usr/share/kalimbor/Tex/Pismo/font.bmp')
same = notice(sheet) == notice(fonts.find_files_paragraph('DejaVuSansMono.ttf'))
print('font notice:', "as fonts-dejavu-core's" if same else 'differs')
program = ours.find_files_paragraph('usr/libexec/kalimbor/kalimbor')
print(f'program: {program.copyright}, {program.license.synopsis}')
[licence] = [paragraph.license for paragraph in ours.all_license_paragraphs()]
text = open(sys.argv[2]).read()
same = words(licence.text) == words(text[text.index('Permission'):])
print(f'licence: {licence.synopsis}, ' + ('as LICENSE' if same else 'not as LICENSE'))
