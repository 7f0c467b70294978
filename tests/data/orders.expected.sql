create table orders (
  id bigint  not null ,
  customer_id int  not null,
  ordered_at datetime not null,
  total decimal(12,2) not null,
  note text default null,
  shipped_on date default null
)
