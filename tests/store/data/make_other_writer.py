#!/usr/bin/python3
# Makes other_writer.db: a measurement table written by a different dBase writer
# (python3-dbf), with an extra field the program must ignore. Run it to renew the fixture.
import os
import dbf

fields = ("N N(4,0); MODE C(11); EN_CH N(4,0); DATE C(10); TIME C(8); T_1 C(6); T_2 C(6); "
        "T_3 C(10); COMMENT C(50); P_1 C(6); P_2 C(6); F C(6); SER C(20); ST C(50); D C(3); "
        "A C(20); P C(5); EXTRA C(7)")
here = os.path.dirname(os.path.abspath(__file__))
path = os.path.join(here, "other_writer.dbf")
table = dbf.Table(path, fields, dbf_type="db3", codepage="cp1251")
table.open(dbf.READ_WRITE)
rows = [
    (1, "", 2, "01.03.2026", "08:00:00", " 1,5", "-2,0", " 0,0", "Первая заметка", " 3,1", " 0,5", "0,75", "", "", "", "37", "0,9", "x"),
    (2, "", 2, "01.03.2026", "09:00:00", " 1,7", "-2,2", " 0,1", "", " 3,4", " 0,6", "0,8", "", "", "", "37", "1", "y"),
    (1, "", 5, "02.03.2026", "10:30:00", "-0,5", " 4,0", "12,3", "", "12,3", " 1,0", "-0,05", "", "", "", "37", "2,55", "z"),
]
for r in rows:
    table.append(r)
table.close()
os.replace(path, os.path.join(here, "other_writer.db"))
